// The wizard with the keyboard alone, through the real window (shown and
// active): keys are handed to the form as its message loop would.
#include "toolkit/Application.h"
#include "wizard/Tmainform.h"

#include <gtest/gtest.h>

#include <map>

namespace {

class Keyboard : public testing::Test {
protected:
  TMainForm form;

  void SetUp() override {
    form.Show();
    ASSERT_EQ(GetActiveWindow(), form.Handle());
  }
  void TearDown() override { form.Hide(); }

  // One key as the loop would take it, with Shift held or not.
  void Press(WPARAM key, bool shift = false) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    Deliver(WM_KEYDOWN, key);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
  }
  void Alt(wchar_t letter) { Deliver(WM_SYSCHAR, letter); }

  void Deliver(UINT message, WPARAM wParam) {
    MSG msg{GetFocus(), message, wParam, 0, 0, {}};
    if (!form.PreTranslateMessage(msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    toolkit::App().ProcessMessages();
  }

  std::wstring FocusName() {
    const std::map<HWND, std::wstring> names = {
        {form.BackButton.Handle(), L"Back"},     {form.NextButton.Handle(), L"Next"},
        {form.CancelButton.Handle(), L"Cancel"}, {form.Memo.Handle(), L"Memo"},
        {form.RadioButton1.Handle(), L"Accept"}, {form.RadioButton2.Handle(), L"Decline"},
        {form.PathEdit.Handle(), L"PathEdit"},   {form.ChangeButton.Handle(), L"Change"}};
    const auto found = names.find(GetFocus());
    return found == names.end() ? L"(none)" : found->second;
  }

  // Where the focus lands on each press, from where it is now.
  std::vector<std::wstring> Walk(WPARAM key, int presses, bool shift = false) {
    std::vector<std::wstring> visited;
    for (int i = 0; i < presses; ++i) {
      Press(key, shift);
      visited.push_back(FocusName());
    }
    return visited;
  }

  void GoToDestination() {
    form.RadioButton1.SetChecked(true);
    form.NextButton.Click();
    ASSERT_TRUE(form.PathPanel.Visible());
  }
};

using Names = std::vector<std::wstring>;

TEST_F(Keyboard, StartsOnCancel) { EXPECT_EQ(FocusName(), L"Cancel"); }

TEST_F(Keyboard, TabWalksThroughTheAgreementPageBothWaysAndWraps) {
  // Back and Next are disabled; of the two choices only the checked one stops.
  EXPECT_EQ(Walk(VK_TAB, 4), (Names{L"Memo", L"Decline", L"Cancel", L"Memo"}));
  EXPECT_EQ(Walk(VK_TAB, 4, true), (Names{L"Cancel", L"Decline", L"Memo", L"Cancel"}));
}

TEST_F(Keyboard, TabWalksThroughTheDestinationPageBothWaysAndWraps) {
  GoToDestination();
  SetFocus(form.CancelButton.Handle());
  EXPECT_EQ(Walk(VK_TAB, 5), (Names{L"PathEdit", L"Change", L"Back", L"Next", L"Cancel"}));
  EXPECT_EQ(Walk(VK_TAB, 5, true), (Names{L"Next", L"Back", L"Change", L"PathEdit", L"Cancel"}));
}

TEST_F(Keyboard, TabLeavesTheAgreementTextAndCtrlTabDoesNot) {
  SetFocus(form.Memo.Handle());
  Press(VK_DOWN); // keys the box takes itself first: it must not turn to dialog ways
  Deliver(WM_CHAR, L'x');
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  Deliver(WM_KEYDOWN, VK_TAB);
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(FocusName(), L"Memo") << "Ctrl+Tab stays in the text box";
  Press(VK_TAB);
  EXPECT_EQ(FocusName(), L"Decline");
}

TEST_F(Keyboard, ArrowsMoveBetweenTheChoicesAndCheckThem) {
  SetFocus(form.RadioButton2.Handle());
  Press(VK_UP);
  EXPECT_EQ(FocusName(), L"Accept");
  EXPECT_TRUE(form.RadioButton1.Checked());
  EXPECT_TRUE(form.NextButton.Enabled()) << "the accept handler ran";
  Press(VK_DOWN);
  EXPECT_EQ(FocusName(), L"Decline");
  EXPECT_TRUE(form.RadioButton2.Checked());
  EXPECT_FALSE(form.NextButton.Enabled());
  Press(VK_DOWN);
  EXPECT_EQ(FocusName(), L"Accept") << "wraps around";
}

TEST_F(Keyboard, MnemonicsActOnlyOnControlsThatAreShownAndEnabled) {
  Alt(L'b'); // Back is disabled
  Alt(L'c'); // Change lies on the hidden Destination page
  Alt(L'n'); // Next is disabled
  EXPECT_TRUE(form.EulaPanel.Visible());
  EXPECT_EQ(FocusName(), L"Cancel");

  Alt(L'a');
  EXPECT_TRUE(form.RadioButton1.Checked());
  EXPECT_EQ(FocusName(), L"Accept");
  Alt(L'N');
  EXPECT_TRUE(form.PathPanel.Visible());
  Alt(L'b');
  EXPECT_TRUE(form.EulaPanel.Visible());
  EXPECT_TRUE(form.RadioButton2.Checked());
  Alt(L'd');
  EXPECT_EQ(FocusName(), L"Decline");
}

TEST_F(Keyboard, EnterActsOnlyOnAFocusedPushButtonAndEscapeOnNothing) {
  GoToDestination();
  SetFocus(form.PathEdit.Handle());
  form.PathEdit.SetText(L"C:\\Temp\\\\Out"); // would be refused, were Next pressed
  Press(VK_RETURN);
  Press(VK_ESCAPE);
  EXPECT_TRUE(form.PathPanel.Visible());
  EXPECT_EQ(FocusName(), L"PathEdit");
}

TEST_F(Keyboard, APanelIsNeverClosed) {
  // A multi-line text box in a dialog closes its parent on Escape; the
  // default handling of that close would destroy the whole page.
  SetFocus(form.Memo.Handle());
  Press(VK_ESCAPE);
  PostMessageW(form.EulaPanel.Handle(), WM_CLOSE, 0, 0);
  toolkit::App().ProcessMessages();
  EXPECT_TRUE(IsWindow(form.EulaPanel.Handle()));
  EXPECT_TRUE(form.EulaPanel.Visible());
  EXPECT_TRUE(IsWindow(form.Memo.Handle()));
  EXPECT_FALSE(toolkit::App().Terminated());
}

TEST_F(Keyboard, AmpersandsInTextsTheUserOrOwnerWroteAreNoMnemonics) {
  form.Memo.SetText(L"R&D clause; & more");
  Alt(L'd');
  EXPECT_EQ(FocusName(), L"Decline") << "not the agreement box";
  GoToDestination();
  form.PathEdit.SetText(L"C:\\R&Back");
  Alt(L'b');
  EXPECT_TRUE(form.EulaPanel.Visible()) << "Back, not the folder box";
}

TEST_F(Keyboard, APageSwitchThatTakesTheFocusAwayMovesItOn) {
  form.RadioButton1.SetChecked(true);
  SetFocus(form.NextButton.Handle());
  Press(VK_RETURN);
  EXPECT_TRUE(form.PathPanel.Visible());
  EXPECT_EQ(FocusName(), L"Next") << "still shown and enabled";

  SetFocus(form.BackButton.Handle());
  Press(VK_RETURN);
  EXPECT_TRUE(form.EulaPanel.Visible());
  EXPECT_EQ(FocusName(), L"Cancel") << "Back is disabled, and so is Next: the first that can";

  GoToDestination();
  SetFocus(form.ChangeButton.Handle());
  form.SwitchPanels(false, true); // the Progress page: nothing can take the focus
  form.NextButtonClick();         // the Finish page
  EXPECT_EQ(FocusName(), L"Next") << "Finish holds the focus, so Enter ends the program";
}

} // namespace
