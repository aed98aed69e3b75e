#include "toolkit/Control.h"

#include "toolkit/Container.h"
#include "toolkit/Form.h"

namespace toolkit {

namespace {
// Control identifiers start well above IDOK and IDCANCEL, which the dialog
// keyboard interface sends for Enter and Escape: no control answers them.
int nextControlId = 1000;
} // namespace

Control::Control(Container &parent, Kind kind, Bounds bounds, const wchar_t *text, Initially state,
                 const Control *label)
    : id_(nextControlId++), label_(label) {
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | kind.style;
  if (state != Initially::Hidden)
    style |= WS_VISIBLE;
  if (state == Initially::Disabled)
    style |= WS_DISABLED;
  Attach(CreateCheckedWindow(kind.exStyle, kind.windowClass, text, style, bounds, parent.Handle(),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_))));
  SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(parent.Font()), FALSE);
  if (label_)
    SetWindowPos(Handle(), label_->Handle(), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

Control::~Control() {
  // Messages sent while the window is destroyed must not reach an object
  // that is half gone.
  if (window_)
    SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, 0);
}

void Control::Attach(win32::WindowHandle window) {
  window_ = std::move(window);
  SetWindowLongPtrW(Handle(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Control *Control::FromHandle(HWND window) {
  return window ? reinterpret_cast<Control *>(GetWindowLongPtrW(window, GWLP_USERDATA)) : nullptr;
}

// The control's own flag: a control on a hidden page still counts as visible.
bool Control::Visible() const { return (GetWindowLongW(Handle(), GWL_STYLE) & WS_VISIBLE) != 0; }

void Control::SetVisible(bool visible) {
  ShowWindow(Handle(), visible ? SW_SHOWNA : SW_HIDE);
  KeepFormFocus();
}

bool Control::Enabled() const { return IsWindowEnabled(Handle()); }

void Control::SetEnabled(bool enabled) {
  EnableWindow(Handle(), enabled);
  KeepFormFocus();
}

void Control::KeepFormFocus() const {
  if (Form *form = Form::Of(Handle()); form && form != this)
    form->KeepFocus();
}

std::wstring Control::Text() const {
  std::wstring text(GetWindowTextLengthW(Handle()) + 1, L'\0');
  text.resize(GetWindowTextW(Handle(), text.data(), static_cast<int>(text.size())));
  return text;
}

void Control::SetText(const std::wstring &text) { SetWindowTextW(Handle(), text.c_str()); }

void Control::SetFont(HFONT font) {
  SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void Control::BringToFront() {
  SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Control::SendToBack() {
  SetWindowPos(Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

} // namespace toolkit
