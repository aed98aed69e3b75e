// Where the program's DLLs may come from: never the program's own folder,
// which is usually the user's Downloads, where anything may have been saved
// under a system DLL's name.
#pragma once

#include <windows.h>

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI *)(DWORD directoryFlags);

// The system's SetDefaultDllDirectories, or null where the system lacks it
// (Windows 7 without KB2533623), so that the program still starts there.
SetDefaultDllDirectoriesFunction LookUpSetDefaultDllDirectories();

enum class DllSearchDefence {
  SystemFolderOnly, // every later load searches System32 alone
  Preloaded,        // the program's folder is still searched first, so what
                    // the system's DLLs load by bare name is loaded first
};

// The first thing the program does, while only kernel32, msvcrt and ntdll
// are loaded. From then on the delay-loaded system DLLs are loaded by their
// full System32 path.
DllSearchDefence LockDownDllSearch(SetDefaultDllDirectoriesFunction setDefaultDllDirectories);

// Loaded from System32 before anything can ask for them where the search
// cannot be limited: the DLLs that Windows 7's own DLLs (those the program
// uses, and what they load in turn) load by bare name and that are not
// KnownDLLs, so that the program's folder would be searched for them first;
// and imm32, which user32 loads for every window: a KnownDLL on Windows 7,
// loaded here as well so that nothing depends on what that list holds on a
// given machine. A DLL already loaded is used whatever folder a later load
// names; so imm32 comes first: loading it brings in user32, which it
// imports, with imm32 already there for user32 to ask for by name.
// The second part is what the shell's folder browser and copy engine load
// besides: shortcuts and shares (linkinfo, ntshrui, srvcli, netutils,
// cscapi), network drives (mpr), licensing (slc), security packages
// (sspicli, secur32), pictures (windowscodecs) and sessions (wtsapi32,
// winsta). A DLL a given Windows lacks is skipped.
inline constexpr const wchar_t *kBareNameDependencies[] = {
    L"imm32.dll",    L"uxtheme.dll",       L"dwmapi.dll",   L"cryptbase.dll",
    L"cryptsp.dll",  L"propsys.dll",       L"apphelp.dll",  L"userenv.dll",
    L"profapi.dll",  L"version.dll",       L"oleacc.dll",   L"ntmarta.dll",
    L"comres.dll",   L"clbcatq.dll",       L"setupapi.dll", L"bcryptprimitives.dll",
    L"linkinfo.dll", L"ntshrui.dll",       L"srvcli.dll",   L"netutils.dll",
    L"cscapi.dll",   L"mpr.dll",           L"slc.dll",      L"sspicli.dll",
    L"secur32.dll",  L"windowscodecs.dll", L"wtsapi32.dll", L"winsta.dll",
};
