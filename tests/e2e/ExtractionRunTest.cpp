// The whole job: the package delivered into the folder the person names.
#include "Options.h"
#include "driver/WizardDriver.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace {

const wchar_t *const kFiles[] = {L"VELNORIX410aE.exe", L"VELNORIX_User'sManual.pdf",
                                 L"ReadMe_E.txt"};

const wchar_t *const kCompletedTexts[] = {L"The extraction was completed.",
                                          L"The Wizard has finished extracting ORVEN VELNORIX",
                                          L"Serial Emulation Driver Ver.4.10a Installer to your ",
                                          L"computer.  To exit the wizard, click Finish."};
const wchar_t *const kCanceledTexts[] = {L"The extraction was canceled.",
                                         L"The Wizard has canceled extracting ORVEN VELNORIX",
                                         L"Serial Emulation Driver Ver.4.10a Installer to your ",
                                         L"computer.  To exit the wizard, click Finish."};

class ExtractionRun : public testing::Test {
protected:
  ScratchFolder downloads;
  ScratchFolder target;
  Wizard wizard{downloads.Path(), options.wizard};
  std::vector<std::wstring> stagingBefore = StagingFoldersInTemp();

  void StartRun(const std::wstring &destination) { ASSERT_TRUE(wizard.StartRun(destination)); }
  bool OnFinishPage() const { return wizard.Button(L"&Finish") != nullptr; }
  void ExpectFinishTexts(const wchar_t *const (&texts)[4]) const {
    for (const wchar_t *text : texts)
      EXPECT_TRUE(wizard.Label(text)) << testing::PrintToString(std::wstring(text));
    EXPECT_FALSE(IsWindowVisible(wizard.Button(L"< &Back")));
    EXPECT_FALSE(IsWindowEnabled(wizard.Button(L"Cancel")));
  }
  void ExpectPackageIn(const std::wstring &folder) const {
    for (const wchar_t *file : kFiles) {
      const std::string delivered = ReadFileBytes(folder + L"\\" + file);
      EXPECT_FALSE(delivered.empty()) << testing::PrintToString(std::wstring(file));
      EXPECT_TRUE(delivered == ReadFileBytes(options.payload + L"\\" + file))
          << testing::PrintToString(std::wstring(file)) << " differs from the package's";
    }
  }
};

TEST_F(ExtractionRun, DeliversThePackageToANewFolderAndFinishes) {
  const std::wstring destination = target / L"Driver Package";
  StartRun(destination);
  // Watch the bar while the run goes on: it only ever stands at its steps.
  std::set<int> seen;
  ASSERT_TRUE(WaitUntil([&] {
    if (const HWND bar = wizard.Progress(); bar && IsWindowVisible(bar))
      seen.insert(Wizard::Position(bar));
    return OnFinishPage();
  }));
  for (int position : seen)
    EXPECT_TRUE(position == 0 || position == 330 || position == 660 || position == 1000)
        << position;

  ExpectFinishTexts(kCompletedTexts);
  ExpectPackageIn(destination);
  EXPECT_EQ(StagingFoldersInTemp(), stagingBefore);
  wizard.Screenshot(options.screenshots, L"5-finish-completed");
  wizard.Click(wizard.Button(L"&Finish"));
  EXPECT_EQ(wizard.WaitForExit(), 0);
}

TEST_F(ExtractionRun, CancelAtTheShellsOverwriteQuestionKeepsTheOldFiles) {
  for (const wchar_t *file : kFiles)
    WriteFileBytes(target / file, "the user's own copy");
  StartRun(target.Path());
  const HWND question = wizard.WaitForDialog(L"Confirm file overwrite");
  ASSERT_TRUE(question);
  EXPECT_EQ(Wizard::Position(wizard.Progress()), 1000);
  EXPECT_TRUE(wizard.Label(L"Extracting Files"));
  wizard.Screenshot(options.screenshots, L"4-progress-overwrite-question");
  wizard.Click(GetDlgItem(question, IDCANCEL));

  ASSERT_TRUE(WaitUntil([&] { return OnFinishPage(); }));
  ExpectFinishTexts(kCanceledTexts);
  for (const wchar_t *file : kFiles)
    EXPECT_EQ(ReadFileBytes(target / file), "the user's own copy");
  EXPECT_EQ(StagingFoldersInTemp(), stagingBefore);
  wizard.Screenshot(options.screenshots, L"6-finish-canceled");
  wizard.Click(wizard.Button(L"&Finish"));
  EXPECT_EQ(wizard.WaitForExit(), 0);
}

TEST_F(ExtractionRun, CloseBoxDuringStagingStillDeliversAndEndsTheProgram) {
  StartRun(target.Path());
  wizard.CloseBox(); // queued behind Next: taken while the run processes messages
  EXPECT_EQ(wizard.WaitForExit(), 0);
  ExpectPackageIn(target.Path());
  EXPECT_EQ(StagingFoldersInTemp(), stagingBefore);
}

// Another program opening a delivered file while the run checks it, as the
// indexer, a scanner or a cloud client does with a file just written, often
// for writing. Only a holder that lets nobody read it is waited for.
struct Holder {
  const char *name;
  DWORD access; // 0: nobody holds the file
  DWORD sharing;
  bool releasedAfterAFewWaits; // else held until the run has ended
  bool completed;
};

class HeldDeliveredFile : public ExtractionRun, public testing::WithParamInterface<Holder> {};

TEST_P(HeldDeliveredFile, CountsAsDeliveredUnlessNobodyMayReadItForLong) {
  for (const wchar_t *file : kFiles)
    WriteFileBytes(target / file, "the user's own copy");
  StartRun(target.Path());
  // Between the shell's questions one file is delivered and the others wait.
  HWND question = wizard.WaitForDialog(L"Confirm file overwrite");
  ASSERT_TRUE(question);
  wizard.Click(GetDlgItem(question, IDYES));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(question); }));
  question = wizard.WaitForDialog(L"Confirm file overwrite");
  ASSERT_TRUE(question);
  std::wstring delivered;
  for (const wchar_t *file : kFiles)
    if (ReadFileBytes(target / file) != "the user's own copy")
      delivered = target / file;
  ASSERT_FALSE(delivered.empty());
  HANDLE holder = INVALID_HANDLE_VALUE;
  if (GetParam().access) {
    holder = CreateFileW(delivered.c_str(), GetParam().access, GetParam().sharing, nullptr,
                         OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  }
  wizard.Click(GetDlgItem(question, kShellYesToAll));

  if (GetParam().releasedAfterAFewWaits) {
    Sleep(300); // three of the run's pauses
    EXPECT_FALSE(OnFinishPage()) << "the run waits for the file";
    CloseHandle(std::exchange(holder, INVALID_HANDLE_VALUE));
  }
  ASSERT_TRUE(WaitUntil([&] { return OnFinishPage(); }));
  if (holder != INVALID_HANDLE_VALUE)
    CloseHandle(holder);
  ExpectFinishTexts(GetParam().completed ? kCompletedTexts : kCanceledTexts);
  ExpectPackageIn(target.Path()); // as the shell delivered it, whatever the check said
  EXPECT_EQ(StagingFoldersInTemp(), stagingBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Holders, HeldDeliveredFile,
    testing::Values(Holder{"Nobody", 0, 0, false, true},
                    Holder{"Reader", GENERIC_READ, FILE_SHARE_READ, false, true},
                    Holder{"WriterLettingOthersRead", GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false, true},
                    Holder{"WriterLettingNobodyReadReleasedAfterAFewWaits", GENERIC_WRITE, 0, true,
                           true},
                    Holder{"WriterLettingNobodyReadNeverReleased", GENERIC_WRITE, 0, false, false}),
    [](const auto &info) { return info.param.name; });

TEST_F(ExtractionRun, DestinationUnderAFileEndsCanceledWithNothingClaimed) {
  WriteFileBytes(target / L"a file", "in the way");
  StartRun(target / L"a file\\Driver");
  ASSERT_TRUE(WaitUntil([&] { return OnFinishPage(); }));
  ExpectFinishTexts(kCanceledTexts);
  EXPECT_EQ(ReadFileBytes(target / L"a file"), "in the way");
  EXPECT_EQ(StagingFoldersInTemp(), stagingBefore);
}

} // namespace
