// Clean-up when something else holds a staged file open for a while, as a
// virus scanner or the indexer often does just after a file was written.
#include "TestFiles.h"
#include "package/PayloadItem.h"
#include "package/StagingFolder.h"

#include <gtest/gtest.h>

namespace {

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// The paths the system is to delete at the next restart, as it lists them.
std::wstring PendingRemovals() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return L"";
  DWORD size = 0;
  RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, nullptr, &size);
  std::wstring value(size / sizeof(wchar_t), L'\0');
  RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                   reinterpret_cast<BYTE *>(value.data()), &size);
  RegCloseKey(key);
  return value;
}

void RestorePendingRemovals(const std::wstring &value) {
  HKEY key = nullptr;
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key);
  if (value.empty())
    RegDeleteValueW(key, L"PendingFileRenameOperations");
  else
    RegSetValueExW(key, L"PendingFileRenameOperations", 0, REG_MULTI_SZ,
                   reinterpret_cast<const BYTE *>(value.data()),
                   static_cast<DWORD>(value.size() * sizeof(wchar_t)));
  RegCloseKey(key);
}

// A staged file opened by "another program": one that does not share
// deletion (the file cannot be deleted), or one that does, as virus
// scanners do (it is deleted, but stays until closed and keeps the folder).
HANDLE Hold(const std::wstring &file, DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE) {
  return CreateFileW(file.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
}

class HeldBriefly : public testing::TestWithParam<DWORD> {};

TEST_P(HeldBriefly, CleanupWaitsAndThenRemovesEverything) {
  const std::wstring pendingBefore = PendingRemovals();
  std::wstring folder;
  HANDLE held = INVALID_HANDLE_VALUE;
  int waits = 0;
  {
    Patience patience{20, 1, [&] {
                        if (++waits == 3)
                          CloseHandle(held);
                      }};
    StagingFolder staging(RandomNameSuffix, patience);
    folder = staging.Path();
    staging.Stage(PayloadStream::Open(L"FILE3"), L"\\ReadMe_E.txt");
    held = Hold(folder + L"\\ReadMe_E.txt", GetParam());
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
  }
  EXPECT_EQ(waits, 3);
  EXPECT_FALSE(Exists(folder));
  EXPECT_EQ(PendingRemovals(), pendingBefore) << "nothing left for the restart";
}

INSTANTIATE_TEST_SUITE_P(Sharing, HeldBriefly,
                         testing::Values(FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));

TEST(Cleanup, LeavesWhatStaysHeldToTheNextRestart) {
  const std::wstring pendingBefore = PendingRemovals();
  std::wstring folder;
  HANDLE held = INVALID_HANDLE_VALUE;
  {
    StagingFolder staging(RandomNameSuffix, Patience{3, 1, nullptr});
    folder = staging.Path();
    staging.Stage(PayloadStream::Open(L"FILE1"), L"\\VELNORIX410aE.exe");
    staging.Stage(PayloadStream::Open(L"FILE3"), L"\\ReadMe_E.txt");
    held = Hold(folder + L"\\ReadMe_E.txt");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
  }
  const std::wstring pending = PendingRemovals();
  RestorePendingRemovals(pendingBefore);
  CloseHandle(held);
  EXPECT_FALSE(Exists(folder + L"\\VELNORIX410aE.exe")) << "what could go went at once";
  // The held file first, then the folder it keeps from going: deleted in
  // that order at the restart (an empty target means "delete").
  const std::wstring file = L"\\??\\" + folder + L"\\ReadMe_E.txt";
  const std::wstring dir = L"\\??\\" + folder;
  const auto fileAt = pending.find(file + std::wstring(1, L'\0') + L'\0');
  const auto dirAt = pending.find(dir + std::wstring(1, L'\0') + L'\0');
  EXPECT_NE(fileAt, std::wstring::npos);
  EXPECT_NE(dirAt, std::wstring::npos);
  EXPECT_LT(fileAt, dirAt);
  RemoveTree(folder);
}

} // namespace
