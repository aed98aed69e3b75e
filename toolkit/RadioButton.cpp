#include "toolkit/RadioButton.h"

namespace toolkit {

namespace {

bool IsRadioButton(HWND window) {
  return (SendMessageW(window, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) != 0;
}

void SetTabStop(HWND window, bool tabStop) {
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  SetWindowLongW(window, GWL_STYLE, tabStop ? style | WS_TABSTOP : style & ~WS_TABSTOP);
}

} // namespace

RadioButton::RadioButton(Container &parent, Bounds bounds, const wchar_t *text, Initially state)
    : Control(parent, {L"BUTTON", BS_AUTORADIOBUTTON}, bounds, text,
              state == Initially::Checked ? Initially::Shown : state) {
  // The first radio button of a parent starts the group the arrow keys move
  // in: one made earlier is a sibling already, wherever it stands.
  bool first = true;
  for (HWND sibling = GetWindow(GetParent(Handle()), GW_CHILD); sibling;
       sibling = GetWindow(sibling, GW_HWNDNEXT))
    first = first && (sibling == Handle() || !IsRadioButton(sibling));
  if (first)
    SetWindowLongW(Handle(), GWL_STYLE, GetWindowLongW(Handle(), GWL_STYLE) | WS_GROUP);
  if (state == Initially::Checked)
    SendMessageW(Handle(), BM_SETCHECK, BST_CHECKED, 0);
  SyncGroup();
}

bool RadioButton::Checked() const {
  return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void RadioButton::SetChecked(bool checked) {
  if (checked == Checked())
    return;
  SendMessageW(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  SyncGroup();
  if (checked && OnClick)
    OnClick();
}

void RadioButton::SyncGroup() {
  const bool checked = Checked();
  SetTabStop(Handle(), checked);
  if (!checked)
    return;
  // The group is every radio button among this button's siblings.
  const HWND parent = GetParent(Handle());
  for (HWND sibling = GetWindow(parent, GW_CHILD); sibling;
       sibling = GetWindow(sibling, GW_HWNDNEXT)) {
    if (sibling != Handle() && IsRadioButton(sibling)) {
      SendMessageW(sibling, BM_SETCHECK, BST_UNCHECKED, 0);
      SetTabStop(sibling, false);
    }
  }
}

void RadioButton::Command(WORD code) {
  if (code != BN_CLICKED)
    return;
  SyncGroup();
  if (Checked() && OnClick)
    OnClick();
}

} // namespace toolkit
