// What the wizard holds against: DLLs planted beside it, an unusable
// temporary folder, destinations it cannot deliver to, refused overwrites,
// and the close box at each stage.
#include "Options.h"
#include "app/DllSearch.h"
#include "driver/WizardDriver.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// In the package's order, in which the shell is given them to copy.
const wchar_t *const kFiles[] = {L"VELNORIX410aE.exe", L"VELNORIX_User'sManual.pdf",
                                 L"ReadMe_E.txt"};

// Names of DLLs the program imports, imm32 (which user32 pulls in), bcrypt
// (which the system's cryptography loads), and what the system's DLLs load
// by bare name. Left out: those Wine 8 has no DLL of
// its own for (nothing asks for them, so a planted copy proves nothing), and
// msimg32, whose delay-loaded use by Wine's own comctl32 ignores the limited
// search (a Wine loader bug).
std::vector<std::wstring> PlantedNames() {
  std::vector<std::wstring> names = {L"user32.dll",   L"gdi32.dll",  L"comctl32.dll",
                                     L"shell32.dll",  L"ole32.dll",  L"shlwapi.dll",
                                     L"advapi32.dll", L"bcrypt.dll", L"imm32.dll"};
  for (const wchar_t *name : kBareNameDependencies) {
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (Exists(std::wstring(system, length) + L"\\" + name))
      names.push_back(name);
  }
  return names;
}

// Makes Wine prefer, for the wizard, a DLL found on the search path to its
// own, as Windows does for any DLL that is not a known system DLL.
class PreferDllsOnTheSearchPath {
public:
  PreferDllsOnTheSearchPath() {
    RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_, nullptr);
    for (const std::wstring &name : PlantedNames())
      RegSetValueExW(key_, name.substr(0, name.size() - 4).c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE *>(L"native,builtin"), sizeof L"native,builtin");
  }
  ~PreferDllsOnTheSearchPath() {
    RegCloseKey(key_);
    RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
  }

private:
  static constexpr wchar_t kKey[] =
      L"Software\\Wine\\AppDefaults\\VELNORIX410aPackageE.exe\\DllOverrides";
  HKEY key_ = nullptr;
};

std::vector<std::wstring> PlantAndRun(const std::wstring &program) {
  ScratchFolder downloads;
  for (const std::wstring &name : PlantedNames())
    CopyFileW(options.plantedDll.c_str(), (downloads / name).c_str(), FALSE);
  std::vector<std::wstring> loaded;
  {
    PreferDllsOnTheSearchPath preferPlanted;
    Wizard wizard(downloads.Path(), program, false);
    auto marks = [&] {
      loaded.clear();
      for (const std::wstring &name : ListFolder(downloads.Path()))
        if (name.ends_with(L".loaded"))
          loaded.push_back(name);
      return !loaded.empty();
    };
    // Up to its window (then Cancel), or until a planted DLL was loaded,
    // which leaves the program broken.
    WaitUntil([&] { return marks() || wizard.Appeared() || !wizard.Running(); });
    if (loaded.empty() && wizard.Appeared()) {
      wizard.Click(wizard.Button(L"Cancel"));
      EXPECT_EQ(wizard.WaitForExit(), 0);
    }
    marks();
  }
  return loaded;
}

TEST(PlantedDlls, AreNeverLoadedFromTheProgramsFolder) {
  EXPECT_EQ(PlantAndRun(options.wizard), std::vector<std::wstring>{});
}

TEST(PlantedDlls, AreNeverLoadedWhereTheSearchCannotBeLimited) {
  // As on a Windows 7 without KB2533623: the program's folder stays first in
  // the search, and the preloads from System32 must win.
  EXPECT_EQ(PlantAndRun(options.preloading), std::vector<std::wstring>{});
}

TEST(PlantedDlls, WouldBeLoadedWithoutTheDefence) {
  // The same test against a build with ordinary imports and the default
  // search order: it must catch the planted DLLs, or it proves nothing.
  EXPECT_FALSE(PlantAndRun(options.undefended).empty());
}

class Hardening : public testing::Test {
protected:
  ScratchFolder downloads;
  ScratchFolder target;
  std::vector<std::wstring> stagingBefore = StagingFoldersInTemp();

  static void StartRun(Wizard &wizard, const std::wstring &destination) {
    ASSERT_TRUE(wizard.StartRun(destination));
  }
  static bool Canceled(const Wizard &wizard) {
    return wizard.Label(L"The extraction was canceled.") != nullptr;
  }
  static bool Completed(const Wizard &wizard) {
    return wizard.Label(L"The extraction was completed.") != nullptr;
  }
};

class UnusableTemp : public Hardening, public testing::WithParamInterface<const char *> {};

TEST_P(UnusableTemp, ShowsTheErrorWritesNothingAndTheCloseBoxEndsTheProgram) {
  WriteFileBytes(target / L"plain file", "");
  const std::string kind = GetParam();
  const std::wstring tmp = kind == "AFile"     ? target / L"plain file"
                           : kind == "Missing" ? target / L"missing"
                                               : target / std::wstring(300, L'x');
  ScopedEnvironment setTmp(L"TMP", tmp);
  ScopedEnvironment setTemp(L"TEMP", tmp);
  Wizard wizard(downloads.Path(), options.wizard);
  StartRun(wizard, target / L"out");
  const HWND box = wizard.WaitForDialog(L"VELNORIX410aPackageE");
  ASSERT_TRUE(box);
  const std::wstring text = Wizard::Text(GetDlgItem(box, 0xFFFF));
  EXPECT_TRUE(text.starts_with(L"ファイル \"" + tmp) ||
              text.starts_with(L"The temporary folder cannot be used: "))
      << testing::PrintToString(text);
  EXPECT_TRUE(text.ends_with(L".")) << "the error display ends it with a full stop";
  if (kind == "AFile")
    wizard.Screenshot(options.screenshots, L"7-error-temporary-folder");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));

  // The Progress page stays with every button disabled; the close box is the way out.
  EXPECT_TRUE(wizard.Label(L"Extracting Files"));
  for (const wchar_t *button : {L"< &Back", L"&Next >", L"Cancel"})
    EXPECT_FALSE(IsWindowEnabled(wizard.Button(button)))
        << testing::PrintToString(std::wstring(button));
  wizard.CloseBox();
  EXPECT_EQ(wizard.WaitForExit(), 0);
  EXPECT_FALSE(Exists(target / L"out"));
  EXPECT_EQ(StagingFoldersInTemp(), stagingBefore);
}

INSTANTIATE_TEST_SUITE_P(Temp, UnusableTemp, testing::Values("AFile", "Missing", "TooLong"));

TEST_F(Hardening, ADamagedPackageIsRefusedAndNothingIsDelivered) {
  // One byte of the installer changed inside the program, as a broken
  // download or a failing USB stick would leave it.
  std::string program = ReadFileBytes(options.wizard);
  const std::string installer = ReadFileBytes(options.payload + L"\\VELNORIX410aE.exe");
  const auto at = program.find(installer.substr(installer.size() / 2, 4096));
  ASSERT_NE(at, std::string::npos);
  program[at + 100] ^= 1;
  WriteFileBytes(target / L"damaged.exe", program);

  Wizard wizard(downloads.Path(), target / L"damaged.exe");
  StartRun(wizard, target / L"out");
  const HWND box = wizard.WaitForDialog(L"VELNORIX410aPackageE");
  ASSERT_TRUE(box);
  EXPECT_EQ(Wizard::Text(GetDlgItem(box, 0xFFFF)),
            L"The package is damaged and cannot be extracted. Download it again.");
  wizard.Screenshot(options.screenshots, L"7-error-damaged-package");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
  EXPECT_TRUE(WaitUntil([&] { return wizard.Active() == wizard.Window(); }))
      << "the wizard is active again";
  EXPECT_TRUE(wizard.Label(L"Extracting Files")) << "the Progress page stays";
  EXPECT_FALSE(IsWindowEnabled(wizard.Button(L"&Next >")));
  EXPECT_FALSE(Exists(target / L"out"));
  EXPECT_EQ(StagingFoldersInTemp(), stagingBefore);
  wizard.CloseBox();
  EXPECT_EQ(wizard.WaitForExit(), 0);
}

TEST_F(Hardening, DestinationOnAMissingDriveEndsCanceled) {
  Wizard wizard(downloads.Path(), options.wizard);
  StartRun(wizard, L"Q:\\Driver");
  ASSERT_TRUE(WaitUntil([&] { return wizard.Button(L"&Finish") != nullptr; }));
  EXPECT_TRUE(Canceled(wizard));
  EXPECT_EQ(StagingFoldersInTemp(), stagingBefore);
}

// The shell asks once per file, in the order it is given them.
struct Answers {
  const char *name;
  std::vector<int> buttons;   // clicked in turn on the overwrite questions
  std::vector<bool> replaced; // per file of kFiles, in that order
  bool completed;
};

constexpr int kYes = IDYES, kNo = IDNO, kCancel = IDCANCEL, kYesToAll = kShellYesToAll;

class OverwriteQuestions : public Hardening, public testing::WithParamInterface<Answers> {};

TEST_P(OverwriteQuestions, RefusedFilesStayByteForByteAndAnyRefusalCancels) {
  for (const wchar_t *file : kFiles)
    WriteFileBytes(target / file, "the user's own copy of " + std::to_string(wcslen(file)));
  Wizard wizard(downloads.Path(), options.wizard);
  StartRun(wizard, target.Path());
  for (int button : GetParam().buttons) {
    const HWND question = wizard.WaitForDialog(L"Confirm file overwrite");
    ASSERT_TRUE(question);
    wizard.Click(GetDlgItem(question, button));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(question); }));
  }
  ASSERT_TRUE(WaitUntil([&] { return wizard.Button(L"&Finish") != nullptr; }));
  EXPECT_EQ(Completed(wizard), GetParam().completed);
  EXPECT_EQ(Canceled(wizard), !GetParam().completed);
  for (std::size_t i = 0; i < std::size(kFiles); ++i) {
    const std::string now = ReadFileBytes(target / kFiles[i]);
    const std::string own = "the user's own copy of " + std::to_string(wcslen(kFiles[i]));
    if (GetParam().replaced[i])
      EXPECT_EQ(now, ReadFileBytes(options.payload + L"\\" + kFiles[i])) << i;
    else
      EXPECT_EQ(now, own) << i;
  }
  EXPECT_EQ(StagingFoldersInTemp(), stagingBefore);
  wizard.Click(wizard.Button(L"&Finish"));
  EXPECT_EQ(wizard.WaitForExit(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Mixtures, OverwriteQuestions,
    testing::Values(Answers{"YesToAll", {kYesToAll}, {true, true, true}, true},
                    Answers{"YesYesYes", {kYes, kYes, kYes}, {true, true, true}, true},
                    Answers{"NoYesYes", {kNo, kYes, kYes}, {false, true, true}, false},
                    Answers{"YesNoYes", {kYes, kNo, kYes}, {true, false, true}, false},
                    Answers{"YesCancel", {kYes, kCancel}, {true, false, false}, false},
                    Answers{"NoNoNo", {kNo, kNo, kNo}, {false, false, false}, false}),
    [](const auto &info) { return info.param.name; });

// Where the staging folder's access list is no defence (FAT32 or exFAT, and
// Wine, which ignores it), the files checked are still the files copied.
TEST_F(Hardening, StagedFilesCannotBeChangedAndNothingAddedIsCopiedWhileTheShellAsks) {
  for (const wchar_t *file : kFiles)
    WriteFileBytes(target / file, "old");
  Wizard wizard(downloads.Path(), options.wizard);
  StartRun(wizard, target.Path());
  const HWND question = wizard.WaitForDialog(L"Confirm file overwrite");
  ASSERT_TRUE(question);
  std::vector<std::wstring> staging;
  for (const std::wstring &name : StagingFoldersInTemp())
    if (std::find(stagingBefore.begin(), stagingBefore.end(), name) == stagingBefore.end())
      staging.push_back(TempPath() + name);
  ASSERT_EQ(staging.size(), 1u);
  for (const wchar_t *file : kFiles) {
    const std::wstring staged = staging[0] + L"\\" + file;
    const HANDLE writer = CreateFileW(staged.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << testing::PrintToString(std::wstring(file));
    if (writer != INVALID_HANDLE_VALUE)
      CloseHandle(writer);
    EXPECT_FALSE(MoveFileW(staged.c_str(), (staged + L".moved").c_str()));
    EXPECT_FALSE(DeleteFileW(staged.c_str()));
  }
  WriteFileBytes(staging[0] + L"\\planted.dll", "not the package's");
  wizard.Click(GetDlgItem(question, kYesToAll));

  ASSERT_TRUE(WaitUntil([&] { return wizard.Button(L"&Finish") != nullptr; }));
  EXPECT_TRUE(Completed(wizard));
  for (const wchar_t *file : kFiles)
    EXPECT_EQ(ReadFileBytes(target / file), ReadFileBytes(options.payload + L"\\" + file));
  EXPECT_FALSE(Exists(target / L"planted.dll"));
  // What is not the run's keeps its folder, which the run leaves.
  RemoveTree(staging[0]);
  EXPECT_EQ(StagingFoldersInTemp(), stagingBefore);
  wizard.Click(wizard.Button(L"&Finish"));
  EXPECT_EQ(wizard.WaitForExit(), 0);
}

TEST_F(Hardening, CloseBoxWhileTheShellAsksDoesNotCutTheRunShort) {
  for (const wchar_t *file : kFiles)
    WriteFileBytes(target / file, "old");
  Wizard wizard(downloads.Path(), options.wizard);
  StartRun(wizard, target.Path());
  const HWND question = wizard.WaitForDialog(L"Confirm file overwrite");
  ASSERT_TRUE(question);
  // The wizard is disabled behind the question; a close that still got
  // through may only end the program once the run is over.
  wizard.CloseBox();
  wizard.Click(GetDlgItem(question, kYesToAll));
  ASSERT_TRUE(WaitUntil([&] { return wizard.Button(L"&Finish") || !wizard.Running(); }));
  if (wizard.Running()) {
    EXPECT_TRUE(Completed(wizard));
    wizard.Click(wizard.Button(L"&Finish"));
  }
  EXPECT_EQ(wizard.WaitForExit(), 0);
  for (const wchar_t *file : kFiles)
    EXPECT_EQ(ReadFileBytes(target / file), ReadFileBytes(options.payload + L"\\" + file));
  EXPECT_EQ(StagingFoldersInTemp(), stagingBefore);
}

TEST_F(Hardening, CloseBoxOnTheFinishPageEndsTheProgram) {
  Wizard wizard(downloads.Path(), options.wizard);
  StartRun(wizard, target.Path());
  ASSERT_TRUE(WaitUntil([&] { return wizard.Button(L"&Finish") != nullptr; }));
  wizard.CloseBox();
  EXPECT_EQ(wizard.WaitForExit(), 0);
}

} // namespace
