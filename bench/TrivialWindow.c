/* The start-up floor: a Win32 program that shows one window and does
   nothing else. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  (void)previous;
  (void)commandLine;
  WNDCLASSA windowClass = {0};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "Trivial";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowA("Trivial", "Trivial window", WS_OVERLAPPEDWINDOW, 100, 100, 300,
                              200, NULL, NULL, instance, NULL);
  ShowWindow(window, show);
  MSG msg;
  while (IsWindow(window) && GetMessageA(&msg, NULL, 0, 0) > 0) {
    if (msg.message == WM_CLOSE || (msg.message == WM_SYSCOMMAND && msg.wParam == SC_CLOSE))
      break;
    DispatchMessageA(&msg);
  }
  return 0;
}
