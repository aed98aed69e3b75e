#include "toolkit/Container.h"

#include "toolkit/Application.h"
#include "toolkit/Colours.h"

#include <oleacc.h>

namespace toolkit {

namespace {

// As oleacc.h declares them; defined here alone rather than all of that
// header's identifiers with initguid.h.
constexpr CLSID kAccPropServices = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr IID kIAccPropServices = {
    0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr MSAAPROPID kRoleProperty = {
    0xcb905ff2, 0x7bd1, 0x4c05, {0xb3, 0xc8, 0xe6, 0xc2, 0x41, 0x36, 0x4d, 0x70}};

} // namespace

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
      font_(parent.Font()), fixedBackground_(background) {
  if (background)
    fixedBrush_.Reset(CreateSolidBrush(*background));
  BindWindowProc();
}

Container::Container(HFONT font) : font_(font) {}

Container::~Container() {
  if (annotations_)
    annotations_.Get()->ClearHwndProps(Handle(), OBJID_CLIENT, CHILDID_SELF, &kRoleProperty, 1);
  SetWindowLongPtrW(Handle(), 0, 0);
}

void Container::BindWindowProc() {
  SetWindowLongPtrW(Handle(), 0, reinterpret_cast<LONG_PTR>(this));
}

bool Container::FixedColourGivesWay() const {
  return fixedBackground_ && toolkit::FixedColourGivesWay(*fixedBackground_);
}

COLORREF Container::BackgroundColour() const {
  if (!fixedBackground_)
    return GetSysColor(COLOR_BTNFACE);
  return FixedColourGivesWay() ? GetSysColor(COLOR_WINDOW) : *fixedBackground_;
}

COLORREF Container::TextColour() const {
  // Each background with the text colour the scheme pairs with it.
  return GetSysColor(fixedBackground_ ? COLOR_WINDOWTEXT : COLOR_BTNTEXT);
}

HBRUSH Container::BackgroundBrush() const {
  if (!fixedBackground_)
    return GetSysColorBrush(COLOR_BTNFACE);
  return FixedColourGivesWay() ? GetSysColorBrush(COLOR_WINDOW) : fixedBrush_.Get();
}

void Container::SetKeyboardOrder(std::initializer_list<const Control *> order) {
  HWND after = HWND_TOP;
  const auto place = [&](const Control &control) {
    SetWindowPos(control.Handle(), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    after = control.Handle();
  };
  for (const Control *control : order) {
    if (control->label_)
      place(*control->label_);
    place(*control);
  }
}

void Container::Announce(const std::wstring &text) {
  // Screen readers speak an alert only from an object whose role is an
  // alert's; a container's own is a client area's. Without the service
  // (Wine has none) the alert still goes out, for readers that take any.
  if (!annotations_ &&
      SUCCEEDED(CoCreateInstance(kAccPropServices, nullptr, CLSCTX_INPROC_SERVER, kIAccPropServices,
                                 reinterpret_cast<void **>(annotations_.Receive())))) {
    VARIANT role{};
    V_VT(&role) = VT_I4;
    V_I4(&role) = ROLE_SYSTEM_ALERT;
    annotations_.Get()->SetHwndProp(Handle(), OBJID_CLIENT, CHILDID_SELF, kRoleProperty, role);
  }
  SetText(text);
  NotifyWinEvent(EVENT_SYSTEM_ALERT, Handle(), OBJID_CLIENT, CHILDID_SELF);
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
    SetBkColor(dc, BackgroundColour());
    SetTextColor(dc, TextColour());
    return reinterpret_cast<LRESULT>(BackgroundBrush());
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
    FillRect(reinterpret_cast<HDC>(wParam), &client, BackgroundBrush());
    return TRUE;
  }
  }
  return DefWindowProcW(Handle(), message, wParam, lParam);
}

} // namespace toolkit
