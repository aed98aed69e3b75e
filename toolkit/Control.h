// The base of every control: one child window with visible, enabled and text
// states. The parent container routes the window's notifications back here.
#pragma once

#include "toolkit/Window.h"

#include <windows.h>

#include <string>

namespace toolkit {

class Container;
class Form;

// Labels take their size from their text when width and height are kAutoSize.
inline constexpr int kAutoSize = -1;

// The initial state a control is created in.
enum class Initially { Shown, Hidden, Disabled, Checked };

class Control {
public:
  virtual ~Control();
  Control(const Control &) = delete;
  Control &operator=(const Control &) = delete;

  HWND Handle() const { return window_.Get(); }
  bool Visible() const;
  void SetVisible(bool visible);
  bool Enabled() const;
  void SetEnabled(bool enabled);
  std::wstring Text() const;
  virtual void SetText(const std::wstring &text);
  virtual void SetFont(HFONT font);
  // Raises the control above its siblings, for a page that covers others.
  void BringToFront();
  // Lowers it below its siblings, for a picture that others lie on.
  void SendToBack();

  static Control *FromHandle(HWND window);
  // The form this control is, if it is one (no run-time type information:
  // the program has room for none).
  virtual Form *AsForm() { return nullptr; }

protected:
  struct Kind {
    const wchar_t *windowClass;
    DWORD style;
    DWORD exStyle = 0;
  };
  // `label`: the static text that names this control for a screen reader.
  // Screen readers take a control's name from the static text just before
  // it in keyboard (z-) order, so the control is placed right after it,
  // and the two move together when the keyboard order is set.
  Control(Container &parent, Kind kind, Bounds bounds, const wchar_t *text,
          Initially state = Initially::Shown, const Control *label = nullptr);
  Control() = default;

  // Binds this object to its window so that notifications find it.
  void Attach(win32::WindowHandle window);
  // A page switch that hides or disables the focused control moves the
  // focus on, as a dialog would.
  void KeepFormFocus() const;
  int Id() const { return id_; }

  // Notifications from the parent: WM_COMMAND codes and owner drawing.
  virtual void Command(WORD /*code*/) {}
  virtual void DrawItem(const DRAWITEMSTRUCT & /*item*/) {}

  friend class Container;

private:
  win32::WindowHandle window_;
  int id_ = 0;
  const Control *label_ = nullptr;
};

} // namespace toolkit
