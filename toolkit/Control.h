// The base of every control: one child window with visible, enabled and text
// states. The parent container routes the window's notifications back here.
#pragma once

#include "toolkit/Window.h"

#include <windows.h>

#include <string>

namespace toolkit {

class Container;

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

protected:
  struct Kind {
    const wchar_t *windowClass;
    DWORD style;
    DWORD exStyle = 0;
  };
  Control(Container &parent, Kind kind, Bounds bounds, const std::wstring &text,
          Initially state = Initially::Shown);
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
};

} // namespace toolkit
