#include "toolkit/Application.h"

#include "toolkit/Abort.h"
#include "toolkit/Form.h"
#include "toolkit/MessageBox.h"
#include "toolkit/Window.h"
#include "win32/Error.h"
#include "win32/Messages.h"

#include <commctrl.h>
#include <objbase.h>

#include <exception>
#include <vector>

namespace toolkit {

namespace {

Application *theApplication = nullptr;
constexpr wchar_t kApplicationClass[] = L"ToolkitApplication";

LRESULT CALLBACK ApplicationProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // The task-bar button's close asks the loop to end, like the main form's.
  if (message == WM_CLOSE) {
    App().Terminate();
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Disables the program's other top-level windows while a modal box is up,
// then enables them again and restores the active window and the focus.
// The box's owner is left to the box: MessageBoxW disables it and enables
// it again before it closes, so that the system gives the activation back
// to it; an owner still disabled then would send it to another program.
class OtherWindowsDisabled {
public:
  // `fallback` is activated afterwards when none of the program's windows
  // was active before (the user was in another program): the box's owner is
  // then the application's own window, which the system would activate.
  OtherWindowsDisabled(HWND owner, HWND fallback)
      : owner_(owner), active_(GetActiveWindow() ? GetActiveWindow() : fallback),
        focus_(GetFocus()) {
    EnumThreadWindows(GetCurrentThreadId(), &Collect, reinterpret_cast<LPARAM>(this));
    for (HWND window : disabled_)
      EnableWindow(window, FALSE);
  }
  ~OtherWindowsDisabled() {
    for (HWND window : disabled_)
      EnableWindow(window, TRUE);
    if (active_ && IsWindow(active_))
      SetActiveWindow(active_);
    if (focus_ && IsWindow(focus_) && IsWindowVisible(focus_) && IsWindowEnabled(focus_))
      SetFocus(focus_);
  }
  OtherWindowsDisabled(const OtherWindowsDisabled &) = delete;
  OtherWindowsDisabled &operator=(const OtherWindowsDisabled &) = delete;

private:
  static BOOL CALLBACK Collect(HWND window, LPARAM context) {
    // No exception may cross into the system's code that called us.
    try {
      auto *self = reinterpret_cast<OtherWindowsDisabled *>(context);
      if (window != self->owner_ && IsWindowVisible(window) && IsWindowEnabled(window))
        self->disabled_.push_back(window);
      return TRUE;
    } catch (...) {
      return FALSE;
    }
  }
  HWND owner_;
  HWND active_;
  HWND focus_;
  std::vector<HWND> disabled_;
};

} // namespace

Application &App() { return *theApplication; }

std::wstring ErrorDisplayText(std::wstring message) {
  if (!message.empty() && message.back() > L'.')
    message += L'.';
  return message;
}

Application::Application() {
  theApplication = this;
  comInitialised_ = SUCCEEDED(CoInitialize(nullptr));
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
}

void Application::Initialize(LPCWSTR icon) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = ApplicationProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hIcon = LoadIconW(windowClass.hInstance, icon);
  windowClass.lpszClassName = kApplicationClass;
  RegisterWindowClass(windowClass);
  Form::RegisterWindowClasses();

  // A zero-sized window at the centre of the screen: it carries the task-bar
  // button under the application's title and owns the main form.
  const int x = GetSystemMetrics(SM_CXSCREEN) / 2;
  const int y = GetSystemMetrics(SM_CYSCREEN) / 2;
  window_ =
      CreateCheckedWindow(0, kApplicationClass, title_.c_str(),
                          WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                          {x, y, 0, 0}, nullptr, nullptr);
}

Application::~Application() {
  window_.Reset();
  if (comInitialised_)
    CoUninitialize();
  theApplication = nullptr;
}

void Application::SetTitle(const std::wstring &title) {
  title_ = title;
  SetWindowTextW(window_.Get(), title.c_str());
}

void Application::Run(Form &mainForm) {
  mainForm_ = &mainForm;
  terminated_ = false;
  ShowWindow(window_.Get(), SW_SHOWNOACTIVATE);
  mainForm.Show();
  MSG msg;
  while (!terminated_ && GetMessageW(&msg, nullptr, 0, 0) > 0)
    Dispatch(msg);
  mainForm.Hide();
  mainForm_ = nullptr;
}

void Application::Terminate() {
  terminated_ = true;
  // A close sent from another program is handled inside GetMessageW, which
  // would otherwise go on waiting for a posted message before the loop sees
  // the flag.
  PostMessageW(window_.Get(), WM_NULL, 0, 0);
}

void Application::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      terminated_ = true;
      break;
    }
    Dispatch(msg);
  }
}

void Application::Dispatch(MSG &msg) {
  if (mainForm_ && mainForm_->PreTranslateMessage(msg))
    return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void Application::HandleException() noexcept {
  ReleaseCapture();
  try {
    try {
      throw;
    } catch (const Abort &) {
    } catch (const win32::Error &error) {
      ShowError(error.Message());
    } catch (const std::exception &error) {
      ShowError(win32::Widen(error.what()));
    } catch (...) {
      ShowError(win32::messages::kUnexpectedError);
    }
  } catch (...) {
    // Showing the error failed too (out of memory): nothing is left to tell
    // the user with, and the loop must go on.
  }
}

void Application::ShowError(const std::wstring &message) {
  HWND owner = GetActiveWindow();
  if (!owner)
    owner = window_.Get();
  const HWND mainWindow =
      mainForm_ && IsWindowVisible(mainForm_->Handle()) ? mainForm_->Handle() : nullptr;
  OtherWindowsDisabled disabled(owner, mainWindow);
  ShowMessageBox(owner, ErrorDisplayText(message), title_, MessageIcon::Error);
}

} // namespace toolkit
