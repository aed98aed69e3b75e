// The application object: title, the hidden window that carries the
// task-bar button, the message loop and the error display.
#pragma once

#include "win32/Handle.h"

#include <windows.h>

#include <string>

namespace toolkit {

class Form;

class Application {
public:
  // Initialises the component runtime for this thread and the common
  // controls. Raises nothing, so that the error display is there for
  // whatever fails after it.
  Application();
  ~Application();
  Application(const Application &) = delete;
  Application &operator=(const Application &) = delete;

  // Registers the toolkit's window classes and creates the application's
  // own window, which carries `icon` (a resource of the program). Raises an
  // error when the system makes neither.
  void Initialize(LPCWSTR icon);
  void SetTitle(const std::wstring &title);
  HWND Handle() const { return window_.Get(); }

  // Shows the main form and runs the loop until the main form closes.
  void Run(Form &mainForm);
  // Dispatches every message already waiting, then returns.
  void ProcessMessages();
  // Asks the loop to end. A running handler, and any modal loop it starts,
  // carry on; the loop ends once control returns to it.
  void Terminate();
  bool Terminated() const { return terminated_; }

  // Call from inside a catch block: shows the error being handled unless it
  // is an Abort. Never throws.
  void HandleException() noexcept;
  // The error display: the message with its full stop, in a stop box.
  void ShowError(const std::wstring &message);

private:
  void Dispatch(MSG &msg);

  std::wstring title_;
  win32::WindowHandle window_;
  bool comInitialised_ = false;
  bool terminated_ = false;
  Form *mainForm_ = nullptr;
};

// The one application object of the program.
Application &App();

// The error display's text: a full stop is added when the message is not
// empty and its last code unit lies above '.'.
std::wstring ErrorDisplayText(std::wstring message);

} // namespace toolkit
