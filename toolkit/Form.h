// A fixed-size dialog-style top-level window, owned by the application's
// window. Closing it only asks the message loop to end. It gives its
// controls, in panels too, the keyboard interface of a standard dialog.
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

  // The control that takes the focus when the focused one is hidden or
  // disabled, whenever it can; otherwise the first in keyboard order does.
  void SetFocusFallback(const Control &control) { focusFallback_ = &control; }
  // Called when a control of this form is hidden or disabled, or shown or
  // enabled: a focus that was lost with it moves on.
  void KeepFocus();
  // The form a control lies on, or null.
  static Form *Of(HWND control);
  Form *AsForm() override { return this; }

  static void RegisterWindowClasses();

protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
  // A change of the user's colours, high contrast or theme: every page is
  // drawn again in the new colours.
  void FollowSchemeChange(bool coloursChanged);
  void FocusFirstControl();
  void FocusFallback();
  bool HoldsUsableFocus() const;

  HWND lastFocus_ = nullptr;
  const Control *focusFallback_ = nullptr;
};

} // namespace toolkit
