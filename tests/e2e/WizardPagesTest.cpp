// The wizard's pages, as a person moves through them.
#include "Options.h"
#include "driver/WizardDriver.h"

#include <gtest/gtest.h>

namespace {

constexpr wchar_t kAccept[] = L"I &accept the terms in the license agreement";
constexpr wchar_t kDecline[] = L"I &do not accept the terms in the license agreement";

bool Enabled(HWND control) { return IsWindowEnabled(control); }

class WizardPages : public testing::Test {
protected:
  ScratchFolder downloads;
  Wizard wizard{downloads.Path(), options.wizard};

  HWND Next() const { return wizard.Button(L"&Next >"); }
  HWND Back() const { return wizard.Button(L"< &Back"); }
  HWND Cancel() const { return wizard.Button(L"Cancel"); }
  bool Shows(const wchar_t *text) const {
    const HWND label = wizard.Label(text);
    return label && IsWindowVisible(label);
  }
  void AcceptAndGoToDestination() { ASSERT_TRUE(wizard.GoToDestination()); }
};

TEST_F(WizardPages, AcceptNextBackAndCancel) {
  ASSERT_TRUE(wizard.Window());
  EXPECT_TRUE(Shows(L"License Agreement"));
  EXPECT_TRUE(Shows(L"Please read the following license agreement carefully."));
  EXPECT_TRUE(Wizard::Checked(wizard.Button(kDecline)));
  EXPECT_FALSE(Enabled(Back()));
  EXPECT_FALSE(Enabled(Next()));
  EXPECT_TRUE(Enabled(Cancel()));
  wizard.Screenshot(options.screenshots, L"1-agreement");

  wizard.Click(wizard.Button(kAccept));
  EXPECT_TRUE(WaitUntil([&] { return Enabled(Next()); }));
  wizard.Click(wizard.Button(kDecline));
  EXPECT_TRUE(WaitUntil([&] { return !Enabled(Next()); }));

  AcceptAndGoToDestination();
  EXPECT_TRUE(Shows(L"Where would you like to save your files?"));
  EXPECT_TRUE(Enabled(Back()));
  EXPECT_TRUE(Enabled(Next()));
  EXPECT_EQ(Wizard::Text(wizard.PathEdit()), wizard.ProgramFolder());
  wizard.Screenshot(options.screenshots, L"2-destination");

  wizard.Click(Back());
  ASSERT_TRUE(WaitUntil([&] { return Shows(L"License Agreement"); }));
  EXPECT_TRUE(Wizard::Checked(wizard.Button(kDecline)));
  EXPECT_FALSE(Wizard::Checked(wizard.Button(kAccept)));
  EXPECT_FALSE(Enabled(Next()));
  EXPECT_FALSE(Enabled(Back()));
  EXPECT_TRUE(Enabled(Cancel()));

  wizard.Click(Cancel());
  EXPECT_EQ(wizard.WaitForExit(), 0);
}

TEST_F(WizardPages, EnterRightAfterStartEndsTheProgram) {
  ASSERT_TRUE(WaitUntil([&] { return wizard.Focus() == Cancel(); }));
  wizard.PressEnterOnFocus();
  EXPECT_EQ(wizard.WaitForExit(), 0);
}

TEST_F(WizardPages, CloseBoxEndsTheProgramOnTheAgreementPage) {
  wizard.CloseBox();
  EXPECT_EQ(wizard.WaitForExit(), 0);
}

TEST_F(WizardPages, CloseBoxEndsTheProgramOnTheDestinationPage) {
  AcceptAndGoToDestination();
  wizard.CloseBox();
  EXPECT_EQ(wizard.WaitForExit(), 0);
}

TEST_F(WizardPages, DestinationDefaultReturnsAfterBackAndNextAndEmptinessDisablesNext) {
  AcceptAndGoToDestination();
  const HWND edit = wizard.PathEdit();
  wizard.Type(edit, L"");
  EXPECT_TRUE(WaitUntil([&] { return !Enabled(Next()); }));
  wizard.Type(edit, L" ");
  EXPECT_TRUE(WaitUntil([&] { return Enabled(Next()); }));
  wizard.Type(edit, L"C:\\somewhere else");

  wizard.Click(Back());
  ASSERT_TRUE(WaitUntil([&] { return Shows(L"License Agreement"); }));
  AcceptAndGoToDestination();
  EXPECT_EQ(Wizard::Text(edit), wizard.ProgramFolder());
}

TEST_F(WizardPages, ChangeOpensTheFolderBrowserAtTheFolderInTheBox) {
  AcceptAndGoToDestination();
  const HWND edit = wizard.PathEdit();
  wizard.Type(edit, L"C:\\windows\\");

  wizard.Click(wizard.Button(L"&Change..."));
  HWND browser = wizard.WaitForDialog(L"Browse for Folder");
  ASSERT_TRUE(browser);
  wizard.Screenshot(options.screenshots, L"2b-folder-browser");
  PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(browser); }));
  EXPECT_EQ(Wizard::Text(edit), L"C:\\windows\\") << "cancelling changes nothing";

  // Confirming at once takes the folder the browser was opened at.
  wizard.Click(wizard.Button(L"&Change..."));
  browser = wizard.WaitForDialog(L"Browse for Folder");
  ASSERT_TRUE(browser);
  PostMessageW(browser, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(browser); }));
  EXPECT_TRUE(WaitUntil([&] { return _wcsicmp(Wizard::Text(edit).c_str(), L"C:\\windows") == 0; }))
      << testing::PrintToString(Wizard::Text(edit));
}

TEST_F(WizardPages, RefusedDestinationShowsTheInformationBoxAndStays) {
  AcceptAndGoToDestination();
  const auto stagingBefore = StagingFoldersInTemp();
  wizard.Type(wizard.PathEdit(), L"C:\\a|b");
  wizard.Click(Next());
  const HWND box = wizard.WaitForDialog(L"Information");
  ASSERT_TRUE(box);
  EXPECT_EQ(Wizard::Text(GetDlgItem(box, 0xFFFF)),
            L"A file name cannot contain any of the following characters:\r\n"
            L"    \\ / : * ? \" < > |");
  wizard.Screenshot(options.screenshots, L"3-information");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));

  EXPECT_EQ(Wizard::Text(wizard.PathEdit()), L"C:\\a|b");
  EXPECT_TRUE(Shows(L"Location to Save Files"));
  EXPECT_TRUE(Enabled(Back()));
  EXPECT_TRUE(Enabled(Next()));
  EXPECT_TRUE(Enabled(Cancel()));
  EXPECT_EQ(StagingFoldersInTemp(), stagingBefore);
}

} // namespace
