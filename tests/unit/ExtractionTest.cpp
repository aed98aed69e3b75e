// The staging folder and the whole extraction, with the test payload.
#include "driver/Files.h"
#include "package/ExtractionRun.h"
#include "package/StagingFolder.h"
#include "win32/Error.h"
#include "win32/Handle.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const wchar_t *const kDeliveredNames[] = {L"ReadMe_E.txt", L"VELNORIX410aE.exe",
                                          L"VELNORIX_User'sManual.pdf"};

std::string Payload(const wchar_t *name) {
  const auto bytes = PayloadStream::Open(name).Bytes();
  return {reinterpret_cast<const char *>(bytes.data()), bytes.size()};
}

void ExpectDelivered(const std::wstring &folder) {
  auto names = ListFolder(folder);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            std::vector<std::wstring>(std::begin(kDeliveredNames), std::end(kDeliveredNames)));
  EXPECT_EQ(ReadFileBytes(folder + L"\\VELNORIX410aE.exe"), Payload(L"FILE1"));
  EXPECT_EQ(ReadFileBytes(folder + L"\\VELNORIX_User'sManual.pdf"), Payload(L"FILE2"));
  EXPECT_EQ(ReadFileBytes(folder + L"\\ReadMe_E.txt"), Payload(L"FILE3"));
}

std::vector<int> positions;
bool Extract(const std::wstring &destination) {
  positions.clear();
  RunCallbacks callbacks;
  callbacks.staged = [](int position) { positions.push_back(position); };
  return ExtractPackage(nullptr, destination, callbacks);
}

TEST(StagingFolder, IsANewEmptyFolderOfItsOwnUnderTheTemporaryPath) {
  std::wstring first, second;
  {
    StagingFolder a, b;
    first = a.Path();
    second = b.Path();
    EXPECT_NE(first, second);
    for (const std::wstring &path : {first, second}) {
      EXPECT_EQ(path.rfind(TempPath() + L"VELNORIX", 0), 0u) << testing::PrintToString(path);
      EXPECT_TRUE(ListFolder(path).empty());
    }
  }
  EXPECT_FALSE(Exists(first));
  EXPECT_FALSE(Exists(second));
}

TEST(StagingFolder, FailedStagingRemovesWhatWasStaged) {
  std::wstring path;
  try {
    StagingFolder staging;
    path = staging.Path();
    staging.Stage(PayloadStream::Open(L"FILE1"), L"\\first.exe");
    staging.Stage(PayloadStream::Open(L"FILE2"), L"\\no\\such\\folder.pdf");
    FAIL() << "staging into a missing folder must fail";
  } catch (const win32::Error &error) {
    EXPECT_NE(error.Message().find(L"folder.pdf"), std::wstring::npos);
  }
  EXPECT_FALSE(Exists(path));
}

// In the moment between the save's close and the hold, another program
// (a scanner that "cleans" it) could change the file: it is not delivered.
TEST(StagingFolder, RefusesAStagedFileChangedBeforeItIsHeld) {
  StagingFolder staging;
  const std::wstring file = staging.Path() + L"\\ReadMe_E.txt";
  try {
    staging.Stage(PayloadStream::Open(L"FILE3"), L"\\ReadMe_E.txt", {},
                  [&] { WriteFileBytes(file, ReadFileBytes(file) + "appended"); });
    FAIL() << "a changed staged file must be refused";
  } catch (const win32::Error &error) {
    EXPECT_EQ(error.Message(),
              L"The package is damaged and cannot be extracted. Download it again.");
  }
}

// Windows stamps a written file's last-write time when its handle closes,
// after the save has looked at the file: that is no change.
TEST(StagingFolder, TakesAStagedFileWhoseTimeTheCloseMoved) {
  StagingFolder staging;
  const std::wstring file = staging.Path() + L"\\ReadMe_E.txt";
  staging.Stage(PayloadStream::Open(L"FILE3"), L"\\ReadMe_E.txt", {}, [&] {
    const win32::FileHandle handle(
        CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    FILETIME later{};
    GetSystemTimeAsFileTime(&later);
    later.dwHighDateTime += 1; // about seven minutes on
    ASSERT_TRUE(SetFileTime(handle.Get(), nullptr, nullptr, &later));
  });
  EXPECT_EQ(staging.StagedFiles(), std::vector<std::wstring>{file});
}

TEST(Extraction, DeliversExactlyThePackageAndLeavesNoStaging) {
  ScratchFolder destination;
  const auto stagingBefore = StagingFoldersInTemp();
  EXPECT_TRUE(Extract(destination / L"new folder"));
  ExpectDelivered(destination / L"new folder");
  EXPECT_EQ(positions, (std::vector<int>{330, 660, 1000}));
  EXPECT_EQ(StagingFoldersInTemp(), stagingBefore);
}

TEST(Extraction, NeverTouchesOrCopiesAFolderThatOnlyLooksLikeStaging) {
  // What an earlier run or another program left where staging would go.
  const std::wstring planted = TempPath() + L"VELNORIX";
  RemoveTree(planted);
  CreateDirectoryW(planted.c_str(), nullptr);
  CreateDirectoryW((planted + L"\\sub").c_str(), nullptr);
  WriteFileBytes(planted + L"\\planted.dll", "not ours");
  WriteFileBytes(planted + L"\\sub\\more.txt", "not ours either");

  ScratchFolder destination;
  EXPECT_TRUE(Extract(destination.Path()));
  ExpectDelivered(destination.Path());
  EXPECT_EQ(ReadFileBytes(planted + L"\\planted.dll"), "not ours");
  EXPECT_EQ(ReadFileBytes(planted + L"\\sub\\more.txt"), "not ours either");
  RemoveTree(planted);
}

TEST(Extraction, CopyThatDeliversNothingCountsAsCanceled) {
  ScratchFolder scratch;
  WriteFileBytes(scratch / L"a file", "in the way");
  const auto stagingBefore = StagingFoldersInTemp();
  EXPECT_FALSE(Extract(scratch / L"a file\\below it"));
  EXPECT_EQ(ReadFileBytes(scratch / L"a file"), "in the way");
  EXPECT_EQ(StagingFoldersInTemp(), stagingBefore);
}

struct TempCase {
  const char *name;
  std::wstring (*tmp)(const ScratchFolder &scratch); // the TMP value to run with
  std::wstring (*expectedError)(const std::wstring &tmp);
};

class UnusableTemporaryFolder : public testing::TestWithParam<TempCase> {};

TEST_P(UnusableTemporaryFolder, IsRefusedBeforeAnythingIsWritten) {
  ScratchFolder scratch;
  WriteFileBytes(scratch / L"plain file", "");
  const std::wstring tmp = GetParam().tmp(scratch);
  ScratchFolder destination;
  std::wstring error = L"(no error)";
  {
    ScopedEnvironment setTmp(L"TMP", tmp);
    try {
      Extract(destination.Path());
    } catch (const win32::Error &raised) {
      error = raised.Message();
    }
  }
  const std::wstring expected = GetParam().expectedError(tmp);
  EXPECT_EQ(error.substr(0, expected.size()), expected);
  EXPECT_TRUE(ListFolder(destination.Path()).empty());
  EXPECT_TRUE(positions.empty()) << "nothing was staged";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnusableTemporaryFolder,
    testing::Values(
        TempCase{"MissingFolder", [](const ScratchFolder &s) { return s / L"missing"; },
                 [](const std::wstring &tmp) { return L"ファイル \"" + tmp + L"\\VELNORIX"; }},
        TempCase{"NamesAFile", [](const ScratchFolder &s) { return s / L"plain file"; },
                 [](const std::wstring &tmp) { return L"ファイル \"" + tmp + L"\\VELNORIX"; }},
        // Fits the system's buffers, but not the staging folder's wildcard and file names.
        TempCase{
            "TooLongForStaging",
            [](const ScratchFolder &s) { return s / std::wstring(240 - s.Path().size(), L'x'); },
            [](const std::wstring &tmp) {
              return L"The temporary folder cannot be used: " + tmp + L"\\";
            }},
        TempCase{"TooLongForTheSystem",
                 [](const ScratchFolder &s) { return s / std::wstring(300, L'x'); },
                 [](const std::wstring &) {
                   return std::wstring(L"The temporary folder cannot be used: ");
                 }}),
    [](const auto &info) { return info.param.name; });

} // namespace
