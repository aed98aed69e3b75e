// Windows that hold controls: the form and its panels. They share one window
// procedure, the boundary where every notification is routed to the control
// it concerns and where errors escaping a handler are caught.
#pragma once

#include "toolkit/Control.h"

#include <initializer_list>
#include <optional>

struct IAccPropServices;

namespace toolkit {

class Container : public Control {
public:
  ~Container() override;
  HFONT Font() const { return font_; }
  // What this container and the labels on it are drawn in, as the user's
  // scheme stands now: the dialog's colours, or the fixed background with
  // the window text (the scheme's window colours where that gives way).
  COLORREF BackgroundColour() const;
  COLORREF TextColour() const;
  HBRUSH BackgroundBrush() const;
  // Whether the fixed background has given way to the scheme (a picture on
  // it then gives way too).
  bool FixedColourGivesWay() const;
  // Stacks the listed children in this order: the keyboard visits them so.
  // A child's label goes just before it.
  void SetKeyboardOrder(std::initializer_list<const Control *> order);
  // Tells a screen reader once what this container shows now, wherever the
  // focus is: `text` becomes its accessible name (a container draws no
  // text of its own) and it raises an alert. From the first announcement
  // on, screen readers see it as an alert.
  void Announce(const std::wstring &text);

  static void RegisterWindowClass();

protected:
  static constexpr wchar_t kWindowClass[] = L"ToolkitContainer";

  // A child container (panel) of the given fixed background colour; the
  // dialog's colour when none is given.
  Container(Container &parent, Bounds bounds, Initially state, std::optional<COLORREF> background);
  // A top-level container; the derived form creates the window.
  explicit Container(HFONT font);

  // Routes the window's messages to this object from now on; called once
  // the object is whole, so no message reaches a half-built one.
  void BindWindowProc();
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
  HFONT font_ = nullptr;
  std::optional<COLORREF> fixedBackground_;
  win32::BrushHandle fixedBrush_;
  // The system's annotation service, once the container has announced.
  win32::ComPointer<IAccPropServices> annotations_;
};

// A borderless child container: one page of the wizard, or its header band.
class Panel : public Container {
public:
  Panel(Container &parent, Bounds bounds, Initially state = Initially::Shown,
        std::optional<COLORREF> background = std::nullopt)
      : Container(parent, bounds, state, background) {}
};

} // namespace toolkit
