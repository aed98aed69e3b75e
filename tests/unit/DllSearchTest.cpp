// The DLL search defence where the system cannot limit the search.
#include "app/DllSearch.h"

#include <gtest/gtest.h>

#include <cwctype>

namespace {

BOOL WINAPI RefusingSetDefault(DWORD) {
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

std::wstring Lower(std::wstring text) {
  for (wchar_t &c : text)
    c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

std::wstring SystemFolder() {
  wchar_t path[MAX_PATH];
  return std::wstring(path, GetSystemDirectoryW(path, MAX_PATH));
}

TEST(DllSearch, PreloadsFromSystem32WhereTheSystemLacksTheLimit) {
  EXPECT_EQ(LockDownDllSearch(nullptr), DllSearchDefence::Preloaded);
  for (const wchar_t *name : kBareNameDependencies) {
    const std::wstring expected = SystemFolder() + L"\\" + name;
    if (GetFileAttributesW(expected.c_str()) == INVALID_FILE_ATTRIBUTES)
      continue; // this system has no such DLL, so nothing will ask for it
    const HMODULE module = GetModuleHandleW(name);
    ASSERT_TRUE(module) << testing::PrintToString(std::wstring(name)) << " is preloaded";
    wchar_t path[MAX_PATH];
    const std::wstring loaded(path, GetModuleFileNameW(module, path, MAX_PATH));
    EXPECT_EQ(Lower(loaded), Lower(expected));
  }
}

TEST(DllSearch, TakesThePreloadingPathWhereTheSystemRefusesTheLimit) {
  EXPECT_EQ(LockDownDllSearch(&RefusingSetDefault), DllSearchDefence::Preloaded);
}

TEST(DllSearch, TheSystemsOwnLookupFindsSetDefaultDllDirectoriesHere) {
  // Wine 8 and every Windows from 8 on have it; a Windows 7 without
  // KB2533623 would answer null, which the program survives (above).
  EXPECT_TRUE(LookUpSetDefaultDllDirectories());
}

} // namespace
