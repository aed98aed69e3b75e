// Clean-up when something else holds a staged file open for a while, as a
// virus scanner or the indexer often does just after a file was written.
#include "driver/Files.h"
#include "package/PayloadItem.h"
#include "package/StagingFolder.h"

#include <gtest/gtest.h>

#include <utility>

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
HANDLE Hold(const std::wstring &file, DWORD sharing) {
  return CreateFileW(file.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
}

constexpr DWORD kReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kReadWriteDelete = kReadWrite | FILE_SHARE_DELETE;

enum class Outcome {
  AllRemoved,       // nothing left, nothing for the restart
  LeftToTheRestart, // the held file, then the folder, named for the restart
  EmptyFolderLeft,  // the folder left as it is, never named alone for the restart
};

struct HeldCase {
  const char *name;
  DWORD sharing;
  bool releasedAfterThreeWaits; // else held until the clean-up is over
  Outcome outcome;
};

class HeldStagedFile : public testing::TestWithParam<HeldCase> {};

TEST_P(HeldStagedFile, IsWaitedForThenLeftToTheRestartOnlyWithTheFolderItKeeps) {
  const std::wstring pendingBefore = PendingRemovals();
  std::wstring folder;
  HANDLE held = INVALID_HANDLE_VALUE;
  int waits = 0;
  {
    Patience patience{20, 1, [&] {
                        if (++waits == 3 && GetParam().releasedAfterThreeWaits)
                          CloseHandle(std::exchange(held, INVALID_HANDLE_VALUE));
                      }};
    StagingFolder staging(RandomNameSuffix, patience);
    folder = staging.Path();
    staging.Stage(PayloadStream::Open(L"FILE1"), L"\\VELNORIX410aE.exe");
    staging.Stage(PayloadStream::Open(L"FILE3"), L"\\ReadMe_E.txt");
    held = Hold(folder + L"\\ReadMe_E.txt", GetParam().sharing);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
  }
  const std::wstring pending = PendingRemovals();
  RestorePendingRemovals(pendingBefore);
  if (held != INVALID_HANDLE_VALUE)
    CloseHandle(held);
  EXPECT_FALSE(Exists(folder + L"\\VELNORIX410aE.exe")) << "what could go went at once";
  switch (GetParam().outcome) {
  case Outcome::AllRemoved:
    EXPECT_EQ(waits, 3);
    EXPECT_FALSE(Exists(folder));
    EXPECT_EQ(pending, pendingBefore) << "nothing left for the restart";
    break;
  case Outcome::LeftToTheRestart: {
    // Deleted in this order at the restart (an empty target means "delete").
    const std::wstring end(2, L'\0');
    const auto fileAt = pending.find(L"\\??\\" + folder + L"\\ReadMe_E.txt" + end);
    const auto folderAt = pending.find(L"\\??\\" + folder + end);
    EXPECT_NE(fileAt, std::wstring::npos);
    EXPECT_NE(folderAt, std::wstring::npos);
    EXPECT_LT(fileAt, folderAt);
    break;
  }
  case Outcome::EmptyFolderLeft:
    EXPECT_EQ(pending, pendingBefore) << "the folder is never named alone";
    EXPECT_TRUE(ListFolder(folder).empty());
    break;
  }
  RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Holders, HeldStagedFile,
    testing::Values(
        HeldCase{"NotSharingDeletionBriefly", kReadWrite, true, Outcome::AllRemoved},
        HeldCase{"SharingDeletionBriefly", kReadWriteDelete, true, Outcome::AllRemoved},
        HeldCase{"NotSharingDeletionThroughout", kReadWrite, false, Outcome::LeftToTheRestart},
        HeldCase{"SharingDeletionThroughout", kReadWriteDelete, false, Outcome::EmptyFolderLeft}),
    [](const auto &info) { return info.param.name; });

} // namespace
