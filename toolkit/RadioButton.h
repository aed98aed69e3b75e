// A radio button of its parent's group. Its click handler runs whenever it
// becomes checked: by the mouse, the keyboard or from code. Only the checked
// button of the group is a tab stop.
#pragma once

#include "toolkit/Control.h"

#include <functional>

namespace toolkit {

class RadioButton : public Control {
public:
  RadioButton(Container &parent, Bounds bounds, const wchar_t *text,
              Initially state = Initially::Shown);

  std::function<void()> OnClick;

  bool Checked() const;
  void SetChecked(bool checked);

protected:
  void Command(WORD code) override;

private:
  // Unchecks the group's other buttons and moves the tab stop to the checked one.
  void SyncGroup();
};

} // namespace toolkit
