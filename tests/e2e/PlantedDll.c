/* Planted beside the program under the name of a DLL it may load: when it
   is loaded, it leaves "<its path>.loaded" beside itself and does nothing
   else. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t mark[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(instance, mark, MAX_PATH);
    lstrcpyW(mark + length, L".loaded");
    CloseHandle(CreateFileW(mark, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
  }
  return TRUE;
}
