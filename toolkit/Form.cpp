#include "toolkit/Form.h"

#include "toolkit/Application.h"
#include "toolkit/Colours.h"
#include "toolkit/DialogKeyboard.h"

namespace toolkit {

namespace {

constexpr DWORD kFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT;

BOOL CALLBACK ForwardColourChange(HWND child, LPARAM) {
  SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
  return TRUE;
}

} // namespace

void Form::RegisterWindowClasses() { Container::RegisterWindowClass(); }

Form::Form(const std::wstring &caption, int clientWidth, int clientHeight, HFONT font)
    : Container(font) {
  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  Attach(CreateCheckedWindow(kFormExStyle, kWindowClass, caption.c_str(), kFormStyle,
                             {x, y, width, height}, App().Handle(), nullptr));
  BindWindowProc();
}

void Form::Show() {
  ShowWindow(Handle(), SW_SHOWNORMAL);
  UpdateWindow(Handle());
  FocusFirstControl();
}

void Form::Hide() { ShowWindow(Handle(), SW_HIDE); }

void Form::FollowSchemeChange(bool coloursChanged) {
  RereadHighContrast();
  // Only top-level windows hear of new colours; common controls need to be
  // told (the progress bar keeps its own).
  if (coloursChanged)
    EnumChildWindows(Handle(), ForwardColourChange, 0);
  RedrawWindow(Handle(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void Form::Close() { App().Terminate(); }

void Form::FocusFirstControl() {
  const std::vector<HWND> stops = TabStops(Handle());
  if (!stops.empty())
    SetFocus(stops.front());
}

void Form::FocusFallback() {
  if (focusFallback_ && CanTakeFocus(focusFallback_->Handle()))
    SetFocus(focusFallback_->Handle());
  else if (!TabStops(Handle()).empty())
    FocusFirstControl();
  else
    // Nothing can take it: the form keeps it, so that keys still arrive as
    // keys (an active window without a focus gets every key as a system key).
    SetFocus(Handle());
}

bool Form::HoldsUsableFocus() const {
  const HWND focus = GetFocus();
  return focus && IsChild(Handle(), focus) && CanTakeFocus(focus) &&
         !(GetWindowLongW(focus, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
}

void Form::KeepFocus() {
  // While a box or the shell's dialog is in front, the focus is not ours to
  // move: the form takes it up again when it is activated.
  if (GetActiveWindow() != Handle()) {
    if (lastFocus_ && !CanTakeFocus(lastFocus_))
      lastFocus_ = nullptr;
    return;
  }
  // A hidden or disabled window gives up the focus to its parent or to
  // nobody; a panel cannot use it.
  if (!HoldsUsableFocus())
    FocusFallback();
}

Form *Form::Of(HWND control) {
  Control *root = FromHandle(GetAncestor(control, GA_ROOT));
  return root ? root->AsForm() : nullptr;
}

bool Form::PreTranslateMessage(MSG &msg) {
  if (msg.hwnd != Handle() && !IsChild(Handle(), msg.hwnd))
    return false;
  return HandleDialogKey(Handle(), msg);
}

LRESULT Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_CLOSE:
    Close();
    return 0;
  case WM_ACTIVATE:
    // Keep the focused control across a message box or another window.
    if (LOWORD(wParam) == WA_INACTIVE) {
      const HWND focus = GetFocus();
      if (focus && IsChild(Handle(), focus))
        lastFocus_ = focus;
    } else if (lastFocus_ && IsWindow(lastFocus_) && CanTakeFocus(lastFocus_)) {
      SetFocus(lastFocus_);
    } else {
      FocusFallback();
    }
    return 0;
  case WM_NEXTDLGCTL:
    // Sent by a multi-line text box for Tab, and by anyone who moves the
    // focus as in a dialog.
    if (LOWORD(lParam))
      SetFocus(reinterpret_cast<HWND>(wParam));
    else
      MoveFocusByTab(Handle(), GetFocus(), wParam != 0);
    return 0;
  case DM_GETDEFID:
    return 0; // no default button
  case WM_SYSCOLORCHANGE:
  case WM_SETTINGCHANGE:
  case WM_THEMECHANGED:
    FollowSchemeChange(message == WM_SYSCOLORCHANGE);
    break;
  }
  return Container::HandleMessage(message, wParam, lParam);
}

} // namespace toolkit
