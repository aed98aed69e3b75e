#include "toolkit/Container.h"

#include "toolkit/Application.h"

namespace toolkit {

void Container::RegisterWindowClass() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.cbWndExtra = sizeof(LONG_PTR); // the Container that handles it
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kWindowClass;
  toolkit::RegisterWindowClass(windowClass);
}

Container::Container(Container &parent, Bounds bounds, Initially state,
                     std::optional<COLORREF> background)
    // Panels let the keyboard interface walk into their children.
    : Control(parent, {kWindowClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT}, bounds, L"", state),
      font_(parent.Font()) {
  if (background) {
    backgroundColor_ = *background;
    backgroundBrush_.Reset(CreateSolidBrush(*background));
  }
  BindWindowProc();
}

Container::~Container() { SetWindowLongPtrW(Handle(), 0, 0); }

void Container::BindWindowProc() {
  SetWindowLongPtrW(Handle(), 0, reinterpret_cast<LONG_PTR>(this));
}

HBRUSH Container::Background() const {
  return backgroundBrush_ ? backgroundBrush_.Get() : GetSysColorBrush(COLOR_BTNFACE);
}

void Container::SetKeyboardOrder(std::initializer_list<const Control *> order) {
  HWND after = HWND_TOP;
  for (const Control *control : order) {
    SetWindowPos(control->Handle(), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    after = control->Handle();
  }
}

LRESULT CALLBACK Container::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto *self = reinterpret_cast<Container *>(GetWindowLongPtrW(hwnd, 0));
  if (!self)
    return DefWindowProcW(hwnd, message, wParam, lParam);
  // No exception may cross into the system's code that called us.
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    App().HandleException();
    return 0;
  }
}

LRESULT Container::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_COMMAND:
    // Only our own children carry a Control in their user data.
    if (Control *control = IsChild(Handle(), reinterpret_cast<HWND>(lParam))
                               ? FromHandle(reinterpret_cast<HWND>(lParam))
                               : nullptr) {
      control->Command(HIWORD(wParam));
      return 0;
    }
    break;
  case WM_DRAWITEM: {
    const auto &item = *reinterpret_cast<const DRAWITEMSTRUCT *>(lParam);
    if (Control *control = IsChild(Handle(), item.hwndItem) ? FromHandle(item.hwndItem) : nullptr) {
      control->DrawItem(item);
      return TRUE;
    }
    break;
  }
  case WM_CTLCOLORSTATIC:
  case WM_CTLCOLORBTN: {
    // Labels, radio buttons and dividers take the colour of the page they lie on.
    const HDC dc = reinterpret_cast<HDC>(wParam);
    SetBkColor(dc, backgroundColor_);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    return reinterpret_cast<LRESULT>(Background());
  }
  case WM_NEXTDLGCTL:
    // A multi-line text box asks its parent to move the focus on: the form
    // does that for all its panels.
    return SendMessageW(GetAncestor(Handle(), GA_ROOT), WM_NEXTDLGCTL, wParam, lParam);
  case WM_CLOSE:
    // A panel is never closed on its own (a multi-line text box sends this
    // for Escape).
    return 0;
  case WM_ERASEBKGND: {
    RECT client;
    GetClientRect(Handle(), &client);
    FillRect(reinterpret_cast<HDC>(wParam), &client, Background());
    return TRUE;
  }
  }
  return DefWindowProcW(Handle(), message, wParam, lParam);
}

} // namespace toolkit
