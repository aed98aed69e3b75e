// A fixed-size dialog-style top-level window, owned by the application's
// window. Closing it only asks the message loop to end.
#pragma once

#include "toolkit/Container.h"

namespace toolkit {

class Form : public Container {
public:
  // A form whose client area has the given size, centred on the screen.
  Form(const std::wstring &caption, int clientWidth, int clientHeight, HFONT font);

  void Show();
  void Hide();
  // Ends the program once the running handler returns.
  void Close();

  // Keyboard handling for the form's controls; true when the message was
  // used up. Enter activates only a focused push button; there is no
  // default or cancel button.
  bool PreTranslateMessage(MSG &msg);

  static void RegisterWindowClasses();

protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
  void FocusFirstControl();

  HWND lastFocus_ = nullptr;
};

} // namespace toolkit
