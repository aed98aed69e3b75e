// The wizard's pages and buttons, driven through the real (hidden) window.
#include "MessageBoxRecorder.h"
#include "driver/Files.h"
#include "toolkit/Application.h"
#include "wizard/Tmainform.h"

#include <gtest/gtest.h>

namespace {

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  const std::wstring file(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
  return file.substr(0, file.rfind(L'\\') + 1);
}

// What the page table fixes for each page, read back from the window.
struct PageState {
  const wchar_t *visiblePanel;
  std::wstring title;
  std::wstring subtitle;
  bool backVisible, backEnabled;
  std::wstring nextText;
  bool nextEnabled, cancelEnabled;
};

PageState Read(TMainForm &form) {
  const wchar_t *panel = L"none";
  int visible = 0;
  for (auto [control, name] :
       {std::pair<toolkit::Control *, const wchar_t *>{&form.EulaPanel, L"EulaPanel"},
        {&form.PathPanel, L"PathPanel"},
        {&form.ProgPanel, L"ProgPanel"},
        {&form.FinishPanel, L"FinishPanel"}})
    if (control->Visible()) {
      panel = name;
      ++visible;
    }
  EXPECT_LE(visible, 1) << "at most one page panel is visible";
  return {panel,
          form.TitleLabel1.Text(),
          form.TitleLabel2.Text(),
          form.BackButton.Visible(),
          form.BackButton.Enabled(),
          form.NextButton.Text(),
          form.NextButton.Enabled(),
          form.CancelButton.Enabled()};
}

void ExpectPage(TMainForm &form, const PageState &expected) {
  const PageState actual = Read(form);
  EXPECT_STREQ(actual.visiblePanel, expected.visiblePanel);
  EXPECT_EQ(actual.title, expected.title);
  EXPECT_EQ(actual.subtitle, expected.subtitle);
  EXPECT_EQ(actual.backVisible, expected.backVisible);
  EXPECT_EQ(actual.backEnabled, expected.backEnabled);
  EXPECT_EQ(actual.nextText, expected.nextText);
  EXPECT_EQ(actual.nextEnabled, expected.nextEnabled);
  EXPECT_EQ(actual.cancelEnabled, expected.cancelEnabled);
}

const PageState kAgreementDeclined{L"EulaPanel",
                                   L"License Agreement",
                                   L"Please read the following license agreement carefully.",
                                   true,
                                   false,
                                   L"&Next >",
                                   false,
                                   true};
const PageState kAgreementAccepted{L"EulaPanel",
                                   L"License Agreement",
                                   L"Please read the following license agreement carefully.",
                                   true,
                                   false,
                                   L"&Next >",
                                   true,
                                   true};
const PageState kDestination{L"PathPanel",
                             L"Location to Save Files",
                             L"Where would you like to save your files?",
                             true,
                             true,
                             L"&Next >",
                             true,
                             true};
const PageState kFinish{L"FinishPanel", L"", L"", false, false, L"&Finish", true, false};

class PageFlow : public testing::Test {
protected:
  TMainForm form;
};

TEST_F(PageFlow, StartsOnTheAgreementWithDeclineChecked) {
  ExpectPage(form, kAgreementDeclined);
  EXPECT_FALSE(form.RadioButton1.Checked());
  EXPECT_TRUE(form.RadioButton2.Checked());
  EXPECT_NE(form.Memo.Text().find(L"1.\t"), std::wstring::npos) << "the agreement is loaded";
}

// The name a screen reader gives a control that has no caption of its own,
// found as Microsoft Active Accessibility documents it: the nearest static
// text before it in z-order, looking no further than a control that is both
// a group's start and a tab stop.
std::wstring AccessibleName(HWND control) {
  for (HWND window = GetWindow(control, GW_HWNDPREV); window;
       window = GetWindow(window, GW_HWNDPREV)) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    if (_wcsicmp(name, L"Static") == 0 && (style & SS_TYPEMASK) <= SS_RIGHT) {
      std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
      text.resize(GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
      return text;
    }
    if ((style & (WS_GROUP | WS_TABSTOP)) == (WS_GROUP | WS_TABSTOP))
      break;
  }
  return L"";
}

TEST_F(PageFlow, ControlsWithoutACaptionAreNamedByTheLabelBeforeThem) {
  EXPECT_EQ(AccessibleName(form.PathEdit.Handle()), L"Save files in folder:");
  EXPECT_EQ(AccessibleName(form.Memo.Handle()), L"License agreement:");
  EXPECT_EQ(AccessibleName(form.ProgressBar.Handle()), L"Extracting...");
  EXPECT_FALSE(form.MemoLabel.Visible()) << "nothing visible changes";
}

TEST_F(PageFlow, AcceptEnablesNextAndDeclineDisablesItAgain) {
  form.RadioButton1.SetChecked(true);
  ExpectPage(form, kAgreementAccepted);
  EXPECT_FALSE(form.RadioButton2.Checked());
  form.RadioButton2.SetChecked(true);
  ExpectPage(form, kAgreementDeclined);
}

TEST_F(PageFlow, NextOnTheAgreementShowsTheDestinationWithTheProgramFolder) {
  form.RadioButton1.SetChecked(true);
  form.NextButton.Click();
  ExpectPage(form, kDestination);
  EXPECT_EQ(form.PathEdit.Text(), ProgramFolder());
}

TEST_F(PageFlow, BackReturnsToTheAgreementDeclinedAndKeepsTheDestinationText) {
  form.RadioButton1.SetChecked(true);
  form.NextButton.Click();
  form.PathEdit.SetText(L"C:\\Elsewhere");
  form.BackButton.Click();
  ExpectPage(form, kAgreementDeclined);
  EXPECT_TRUE(form.RadioButton2.Checked());
  EXPECT_EQ(form.PathEdit.Text(), L"C:\\Elsewhere");

  form.RadioButton1.SetChecked(true);
  form.NextButton.Click();
  EXPECT_EQ(form.PathEdit.Text(), ProgramFolder()) << "the default replaces what was typed";
}

TEST_F(PageFlow, NextFollowsWhetherTheDestinationIsEmpty) {
  form.RadioButton1.SetChecked(true);
  form.NextButton.Click();
  for (auto [text, enabled] : {std::pair{L"", false}, {L" ", true}, {L"", false}, {L"C", true}}) {
    form.PathEdit.SetText(text);
    EXPECT_EQ(form.NextButton.Enabled(), enabled)
        << "text \"" << testing::PrintToString(std::wstring(text)) << "\"";
  }
}

TEST_F(PageFlow, RefusedDestinationShowsTheInformationBoxAndChangesNothing) {
  form.RadioButton1.SetChecked(true);
  form.NextButton.Click();
  form.PathEdit.SetText(L"C:\\Temp\\\\Out");
  const auto stagingBefore = StagingFoldersInTemp();
  MessageBoxRecorder recorder;
  form.NextButton.Click();
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].owner, form.Handle());
  EXPECT_EQ(recorder.boxes[0].caption, L"Information");
  EXPECT_EQ(recorder.boxes[0].icon, toolkit::MessageIcon::Information);
  EXPECT_EQ(recorder.boxes[0].text,
            L"A file name cannot contain any of the following characters:\r\n"
            L"    \\ / : * ? \" < > |");
  ExpectPage(form, kDestination);
  EXPECT_EQ(form.PathEdit.Text(), L"C:\\Temp\\\\Out");
  EXPECT_EQ(StagingFoldersInTemp(), stagingBefore);
}

TEST_F(PageFlow, OverLongDestinationIsRefusedWithItsOwnText) {
  form.RadioButton1.SetChecked(true);
  form.NextButton.Click();
  form.PathEdit.SetText(L"C:\\" + std::wstring(231, L'a'));
  MessageBoxRecorder recorder;
  form.NextButton.Click();
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].caption, L"Information");
  EXPECT_EQ(recorder.boxes[0].text, L"A folder path cannot be longer than 233 characters.");
  ExpectPage(form, kDestination);
}

TEST_F(PageFlow, TheProgressPagesNextActionShowsTheFinishPage) {
  form.SwitchPanels(false, true);
  EXPECT_FALSE(form.BackButton.Enabled());
  EXPECT_FALSE(form.NextButton.Enabled());
  EXPECT_FALSE(form.CancelButton.Enabled());
  form.NextButtonClick();
  ExpectPage(form, kFinish);
}

TEST_F(PageFlow, CancelAndFinishEndTheLoop) {
  for (bool viaFinish : {false, true}) {
    TMainForm wizard;
    if (viaFinish) {
      wizard.SwitchPanels(false, true);
      wizard.NextButtonClick();
    }
    toolkit::Button &button = viaFinish ? wizard.NextButton : wizard.CancelButton;
    PostMessageW(wizard.Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button.Handle()), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button.Handle()));
    toolkit::App().Run(wizard); // returns only when the click closed the window
    EXPECT_TRUE(toolkit::App().Terminated());
  }
}

} // namespace
