// A push button. Its click handler runs through the parent's event dispatch.
#pragma once

#include "toolkit/Control.h"

#include <functional>

namespace toolkit {

class Button : public Control {
public:
  Button(Container &parent, Bounds bounds, const wchar_t *text, Initially state = Initially::Shown)
      : Control(parent, {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP}, bounds, text, state) {}

  std::function<void()> OnClick;

  // Clicks the button as the user would, when it is enabled.
  void Click();

protected:
  void Command(WORD code) override;
};

} // namespace toolkit
