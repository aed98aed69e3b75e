// Windows that hold controls: the form and its panels. They share one window
// procedure, the boundary where every notification is routed to the control
// it concerns and where errors escaping a handler are caught.
#pragma once

#include "toolkit/Control.h"

#include <initializer_list>
#include <optional>

namespace toolkit {

class Container : public Control {
public:
  ~Container() override;
  HFONT Font() const { return font_; }
  // Stacks the listed children in this order: the keyboard visits them so.
  void SetKeyboardOrder(std::initializer_list<const Control *> order);

  static void RegisterWindowClass();

protected:
  static constexpr wchar_t kWindowClass[] = L"ToolkitContainer";

  // A child container (panel) of the given background colour; the
  // button-face colour when none is given.
  Container(Container &parent, Bounds bounds, Initially state, std::optional<COLORREF> background);
  // A top-level container; the derived form creates the window.
  explicit Container(HFONT font) : font_(font) {}

  // Routes the window's messages to this object from now on; called once
  // the object is whole, so no message reaches a half-built one.
  void BindWindowProc();
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
  HBRUSH Background() const;

  HFONT font_ = nullptr;
  win32::BrushHandle backgroundBrush_;
  COLORREF backgroundColor_ = GetSysColor(COLOR_BTNFACE);
};

// A borderless child container: one page of the wizard, or its header band.
class Panel : public Container {
public:
  Panel(Container &parent, Bounds bounds, Initially state = Initially::Shown,
        std::optional<COLORREF> background = std::nullopt)
      : Container(parent, bounds, state, background) {}
};

} // namespace toolkit
