// Text boxes: a single-line one with a change event, and a multi-line one.
#pragma once

#include "toolkit/Control.h"

#include <functional>

namespace toolkit {

class Edit : public Control {
public:
  Edit(Container &parent, Bounds bounds, const std::wstring &text);

  // Runs on every change of the text: typed, pasted or set from code.
  std::function<void()> OnChange;

protected:
  void Command(WORD code) override;
};

// Word-wrapped, with a vertical scroll bar only.
class Memo : public Control {
public:
  Memo(Container &parent, Bounds bounds, const std::wstring &text);
};

} // namespace toolkit
