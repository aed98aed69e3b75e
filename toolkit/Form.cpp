#include "toolkit/Form.h"

#include "toolkit/Application.h"

namespace toolkit {

namespace {

constexpr DWORD kFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT;

bool CanTakeFocus(HWND window) { return IsWindowVisible(window) && IsWindowEnabled(window); }

// The first control in keyboard order that can take the focus, looking
// into panels on the way.
HWND FirstTabStop(HWND parent) {
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!CanTakeFocus(child))
      continue;
    if (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP)
      return child;
    if (GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_CONTROLPARENT)
      if (HWND inner = FirstTabStop(child))
        return inner;
  }
  return nullptr;
}

bool IsPushButton(HWND window) {
  return SendMessageW(window, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON);
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
  Attach(CreateWindowExW(kFormExStyle, kWindowClass, caption.c_str(), kFormStyle, x, y, width,
                         height, App().Handle(), nullptr, GetModuleHandleW(nullptr), nullptr));
  BindWindowProc();
}

void Form::Show() {
  ShowWindow(Handle(), SW_SHOWNORMAL);
  UpdateWindow(Handle());
  FocusFirstControl();
}

void Form::Hide() { ShowWindow(Handle(), SW_HIDE); }

void Form::Close() { App().Terminate(); }

void Form::FocusFirstControl() {
  if (HWND first = FirstTabStop(Handle()))
    SetFocus(first);
}

bool Form::PreTranslateMessage(MSG &msg) {
  if (msg.hwnd != Handle() && !IsChild(Handle(), msg.hwnd))
    return false;
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
    const HWND focus = GetFocus();
    if (focus && IsChild(Handle(), focus) && IsPushButton(focus)) {
      SendMessageW(GetParent(focus), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                   reinterpret_cast<LPARAM>(focus));
      return true;
    }
  }
  return IsDialogMessageW(Handle(), &msg);
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
      FocusFirstControl();
    }
    return 0;
  case DM_GETDEFID:
    return 0; // no default button
  }
  return Container::HandleMessage(message, wParam, lParam);
}

} // namespace toolkit
