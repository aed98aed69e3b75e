#include "app/DllSearch.h"

#include "resources/Texts.h"

#include <delayimp.h>

#include <cwchar>

namespace {

// How a DLL named by its full System32 path finds what it imports: where the
// search is limited, the default directories (System32); elsewhere the
// altered order, which starts in the DLL's own folder. No LOAD_LIBRARY_SEARCH_*
// flag: without KB2533623 calls given them fail.
DWORD systemDllLoadFlags = 0;

// Fixed buffers throughout: this runs inside the system's loader paths and
// the delay-load helper, where nothing may throw.
HMODULE LoadFromSystemFolder(const wchar_t *name) {
  wchar_t path[MAX_PATH];
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length + 1 + std::wcslen(name) >= MAX_PATH)
    return nullptr;
  path[length] = L'\\';
  std::wcscpy(path + length + 1, name);
  return LoadLibraryExW(path, nullptr, systemDllLoadFlags);
}

// The delay-load helper asks before it loads a DLL; a module answered here is
// used instead of its own load by bare name.
FARPROC WINAPI LoadDelayedDllFromSystemFolder(unsigned notification, PDelayLoadInfo info) {
  if (notification != dliNotePreLoadLibrary)
    return nullptr;
  // Common controls 6 come from the side-by-side store the manifest names,
  // which takes precedence over every folder; System32 holds version 5.
  if (lstrcmpiA(info->szDll, "comctl32.dll") == 0)
    return nullptr;
  wchar_t name[MAX_PATH] = {};
  for (int i = 0; info->szDll[i] && i < MAX_PATH - 1; ++i)
    name[i] = static_cast<unsigned char>(info->szDll[i]);
  if (const HMODULE module = LoadFromSystemFolder(name))
    return reinterpret_cast<FARPROC>(module);
  // A system DLL missing from System32: going on would let the helper look
  // for it by bare name, beside the program first.
  FatalAppExitW(0, texts::kSystemDllMissing);
  return nullptr;
}

} // namespace

SetDefaultDllDirectoriesFunction LookUpSetDefaultDllDirectories() {
  return reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
}

DllSearchDefence LockDownDllSearch(SetDefaultDllDirectoriesFunction setDefaultDllDirectories) {
  __pfnDliNotifyHook2 = LoadDelayedDllFromSystemFolder;
  if (setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    systemDllLoadFlags = 0;
    return DllSearchDefence::SystemFolderOnly;
  }
  // Takes the current folder out of the search; the program's own folder
  // stays first, which is what the preloads are for.
  SetDllDirectoryW(L"");
  systemDllLoadFlags = LOAD_WITH_ALTERED_SEARCH_PATH;
  for (const wchar_t *name : kBareNameDependencies)
    LoadFromSystemFolder(name); // a DLL this Windows lacks is asked for by nobody
  return DllSearchDefence::Preloaded;
}
