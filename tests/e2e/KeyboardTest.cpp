// The whole wizard with the keyboard alone, as at a counter without a mouse.
#include "Options.h"
#include "driver/WizardDriver.h"

#include <gtest/gtest.h>

namespace {

const wchar_t *const kFiles[] = {L"VELNORIX410aE.exe", L"VELNORIX_User'sManual.pdf",
                                 L"ReadMe_E.txt"};

class KeyboardOnly : public testing::Test {
protected:
  ScratchFolder downloads;
  ScratchFolder target;
  Wizard wizard{downloads.Path(), options.wizard};

  HWND Button(const wchar_t *text) const { return wizard.Button(text); }
  static BOOL CALLBACK FindMemo(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (_wcsicmp(name, L"Edit") == 0 && (GetWindowLongW(window, GWL_STYLE) & ES_MULTILINE)) {
      *reinterpret_cast<HWND *>(found) = window;
      return FALSE;
    }
    return TRUE;
  }
  HWND Memo() const {
    HWND memo = nullptr;
    EnumChildWindows(wizard.Window(), FindMemo, reinterpret_cast<LPARAM>(&memo));
    return memo;
  }
  // The focus ends up on `control` after the keys just pressed.
  bool FocusOn(HWND control) const {
    return WaitUntil([&] { return wizard.Focus() == control; }, std::chrono::seconds(5));
  }
};

constexpr wchar_t kAccept[] = L"I &accept the terms in the license agreement";
constexpr wchar_t kDecline[] = L"I &do not accept the terms in the license agreement";

TEST_F(KeyboardOnly, APersonCompletesTheWizardWithKeysAlone) {
  ASSERT_TRUE(FocusOn(Button(L"Cancel"))) << "the focus starts on Cancel";
  wizard.Press(VK_TAB);
  ASSERT_TRUE(FocusOn(Memo())) << "Tab reaches the agreement";
  wizard.Press(VK_TAB);
  ASSERT_TRUE(FocusOn(Button(kDecline))) << "and leaves it for the checked choice";
  wizard.Press(VK_UP);
  ASSERT_TRUE(FocusOn(Button(kAccept)));
  EXPECT_TRUE(Wizard::Checked(Button(kAccept)));
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(Button(L"&Next >")); }));
  wizard.Press(VK_TAB, true);
  ASSERT_TRUE(FocusOn(Memo()));
  wizard.Press(VK_TAB, true);
  ASSERT_TRUE(FocusOn(Button(L"Cancel")));
  wizard.Press(VK_TAB, true);
  ASSERT_TRUE(FocusOn(Button(L"&Next >")));
  wizard.Press(VK_RETURN);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(wizard.PathEdit()); }));
  EXPECT_TRUE(FocusOn(Button(L"&Next >")));

  // Into the folder box, whose text Tab selects, so typing replaces it.
  wizard.Press(VK_TAB);
  ASSERT_TRUE(FocusOn(Button(L"Cancel")));
  wizard.Press(VK_TAB);
  ASSERT_TRUE(FocusOn(wizard.PathEdit()));
  wizard.TypeOnKeyboard(target.Path());
  ASSERT_TRUE(WaitUntil([&] { return Wizard::Text(wizard.PathEdit()) == target.Path(); }))
      << testing::PrintToString(Wizard::Text(wizard.PathEdit()));
  wizard.Screenshot(options.screenshots, L"8-keyboard-destination");
  wizard.PressAlt(L'n');

  ASSERT_TRUE(WaitUntil([&] { return Button(L"&Finish") != nullptr; }));
  EXPECT_TRUE(wizard.Label(L"The extraction was completed."));
  EXPECT_TRUE(FocusOn(Button(L"&Finish"))) << "so that Enter ends the program";
  wizard.Press(VK_RETURN);
  EXPECT_EQ(wizard.WaitForExit(), 0);
  for (const wchar_t *file : kFiles)
    EXPECT_EQ(ReadFileBytes(target / file), ReadFileBytes(options.payload + L"\\" + file));
}

TEST_F(KeyboardOnly, AfterTheInformationBoxTheWizardIsActiveWithItsFocusBack) {
  wizard.PressAlt(L'a');
  ASSERT_TRUE(FocusOn(Button(kAccept)));
  wizard.PressAlt(L'n');
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(wizard.PathEdit()); }));
  wizard.Press(VK_TAB);
  wizard.Press(VK_TAB);
  ASSERT_TRUE(FocusOn(wizard.PathEdit()));
  wizard.TypeOnKeyboard(L"C:\\a|b");
  ASSERT_TRUE(WaitUntil([&] { return Wizard::Text(wizard.PathEdit()) == L"C:\\a|b"; }));
  wizard.PressAlt(L'n');
  const HWND box = wizard.WaitForDialog(L"Information");
  ASSERT_TRUE(box);
  wizard.Press(VK_RETURN); // the box's own OK
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
  EXPECT_TRUE(WaitUntil([&] { return wizard.Active() == wizard.Window(); }));
  EXPECT_TRUE(FocusOn(Button(L"&Next >"))) << "the control that had the focus";
  EXPECT_TRUE(IsWindowEnabled(wizard.Window()));
}

} // namespace
