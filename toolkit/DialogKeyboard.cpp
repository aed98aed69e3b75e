#include "toolkit/DialogKeyboard.h"

#include <algorithm>

namespace toolkit {

namespace {

bool IsPanel(HWND window) {
  return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0;
}

// Asked without the message: given one, a multi-line text box turns to
// "dialog mode" and from then on sends its parent WM_NEXTDLGCTL for Tab
// (Ctrl+Tab too) and WM_CLOSE for Escape, which this interface handles itself.
UINT DialogCode(HWND window) {
  return static_cast<UINT>(SendMessageW(window, WM_GETDLGCODE, 0, 0));
}

bool IsPushButton(HWND window) {
  return (DialogCode(window) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

bool IsRadioButton(HWND window) { return (DialogCode(window) & DLGC_RADIOBUTTON) != 0; }

bool Pressed(int key) { return GetKeyState(key) < 0; }

// The controls under `parent` that can take the focus now, in keyboard order.
void CollectControls(HWND parent, bool tabStopsOnly, std::vector<HWND> &controls) {
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!CanTakeFocus(child))
      continue;
    if (IsPanel(child))
      CollectControls(child, tabStopsOnly, controls);
    else if (!tabStopsOnly || (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP))
      controls.push_back(child);
  }
}

// A button's click, through its parent, as the mouse would give it; never
// for a button that cannot take it.
void Click(HWND button) {
  if (!CanTakeFocus(button))
    return;
  SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

// Focuses a radio button and checks it; its click handler runs as for a click.
void SelectRadioButton(HWND radio) {
  const bool wasChecked = SendMessageW(radio, BM_GETCHECK, 0, 0) == BST_CHECKED;
  // Checked before it takes the focus: an unchecked radio button that gets
  // the focus reports a click of its own.
  SendMessageW(radio, BM_SETCHECK, BST_CHECKED, 0);
  SetFocus(radio);
  if (!wasChecked)
    Click(radio);
}

// The next radio button of the focused one's group: its siblings that are
// radio buttons, wrapping around.
HWND NextInGroup(HWND radio, bool previous) {
  std::vector<HWND> group;
  for (HWND sibling = GetWindow(GetParent(radio), GW_CHILD); sibling;
       sibling = GetWindow(sibling, GW_HWNDNEXT))
    if (IsRadioButton(sibling) && CanTakeFocus(sibling))
      group.push_back(sibling);
  const auto at = std::find(group.begin(), group.end(), radio);
  if (at == group.end())
    return nullptr;
  const std::size_t index = static_cast<std::size_t>(at - group.begin());
  return group[(index + (previous ? group.size() - 1 : 1)) % group.size()];
}

wchar_t Upper(wchar_t c) {
  return static_cast<wchar_t>(
      reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c)))));
}

// The character after the single "&" of the control's text ("&&" is a
// literal ampersand), upper-cased; 0 when it has none.
wchar_t MnemonicOf(HWND control) {
  wchar_t text[256] = {};
  GetWindowTextW(control, text, 256);
  for (const wchar_t *c = text; *c; ++c) {
    if (*c != L'&')
      continue;
    if (c[1] == L'&') {
      ++c;
      continue;
    }
    return Upper(c[1]);
  }
  return 0;
}

// Only buttons carry mnemonics here: the text of a text box is the user's
// or the package owner's ("R&D", a folder "R&Co") and marks nothing, and
// the labels are drawn without prefixes.
bool CarriesMnemonic(HWND control) { return (DialogCode(control) & DLGC_BUTTON) != 0; }

// Controls that are hidden (their page included) or disabled are skipped.
bool ActivateMnemonic(HWND form, wchar_t key) {
  std::vector<HWND> controls;
  CollectControls(form, false, controls);
  const wchar_t wanted = Upper(key);
  for (HWND control : controls) {
    if (!CarriesMnemonic(control) || MnemonicOf(control) != wanted)
      continue;
    if (IsRadioButton(control)) {
      SelectRadioButton(control);
    } else {
      SetFocus(control);
      if (IsPushButton(control))
        Click(control);
    }
    return true;
  }
  return false;
}

// Once the keyboard is in use, the focus rectangle and the mnemonics'
// underlines show, as in any dialog.
void ShowKeyboardCues(HWND form) {
  SendMessageW(form, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
}

bool HandleKeyDown(HWND form, HWND focus, const MSG &msg) {
  switch (msg.wParam) {
  case VK_TAB:
    // Only a plain or shifted Tab moves the focus; Alt+Tab is the system's.
    // Ctrl+Tab moves nothing, and types nothing either: standard layouts
    // give it no character, so it does nothing in the agreement box.
    if (Pressed(VK_CONTROL) || Pressed(VK_MENU))
      return false;
    ShowKeyboardCues(form);
    MoveFocusByTab(form, focus, Pressed(VK_SHIFT));
    return true;
  case VK_LEFT:
  case VK_RIGHT:
  case VK_UP:
  case VK_DOWN: {
    if (!focus || (DialogCode(focus) & DLGC_WANTARROWS))
      return false;
    ShowKeyboardCues(form);
    if (IsRadioButton(focus))
      if (HWND next = NextInGroup(focus, msg.wParam == VK_LEFT || msg.wParam == VK_UP))
        SelectRadioButton(next);
    return true;
  }
  case VK_RETURN:
    // Only a focused push button answers Enter: there is no default button.
    if (focus && IsPushButton(focus)) {
      Click(focus);
      return true;
    }
    // The agreement box takes its own Enter, as a new line.
    return !(focus && (DialogCode(focus) & DLGC_WANTALLKEYS));
  case VK_ESCAPE:
    // No cancel button; and a multi-line text box would close its panel.
    return true;
  }
  return false;
}

} // namespace

bool CanTakeFocus(HWND window) { return IsWindowVisible(window) && IsWindowEnabled(window); }

std::vector<HWND> TabStops(HWND form) {
  std::vector<HWND> stops;
  CollectControls(form, true, stops);
  return stops;
}

bool MoveFocusByTab(HWND form, HWND from, bool previous) {
  const std::vector<HWND> stops = TabStops(form);
  if (stops.empty())
    return false;
  const auto at = std::find(stops.begin(), stops.end(), from);
  std::size_t index = previous ? stops.size() - 1 : 0;
  if (at != stops.end())
    index = (static_cast<std::size_t>(at - stops.begin()) + (previous ? stops.size() - 1 : 1)) %
            stops.size();
  const HWND next = stops[index];
  SetFocus(next);
  // A text box reached with Tab has its text selected, ready to be typed over.
  if (DialogCode(next) & DLGC_HASSETSEL)
    SendMessageW(next, EM_SETSEL, 0, -1);
  return true;
}

bool HandleDialogKey(HWND form, const MSG &msg) {
  const HWND focus = GetFocus();
  switch (msg.message) {
  case WM_KEYDOWN:
    return HandleKeyDown(form, focus, msg);
  case WM_SYSCHAR:
    return ActivateMnemonic(form, static_cast<wchar_t>(msg.wParam));
  case WM_CHAR:
    // As in a dialog, a letter alone acts as a mnemonic where the focused
    // control takes no text.
    if (focus && !(DialogCode(focus) & DLGC_WANTCHARS) && msg.wParam > L' ')
      return ActivateMnemonic(form, static_cast<wchar_t>(msg.wParam));
    return false;
  }
  return false;
}

} // namespace toolkit
