// Text boxes: a single-line one with a change event, and a multi-line one.
// Each is named by its label, which the user reads beside it or a screen
// reader reads out.
#pragma once

#include "toolkit/Label.h"

#include <functional>

namespace toolkit {

class Edit : public Control {
public:
  Edit(Container &parent, Bounds bounds, const wchar_t *text, const Label &label);

  // Runs on every change of the text: typed, pasted or set from code.
  std::function<void()> OnChange;

protected:
  void Command(WORD code) override;
};

// Word-wrapped, with a vertical scroll bar only.
class Memo : public Control {
public:
  Memo(Container &parent, Bounds bounds, const std::wstring &text, const Label &label);
};

} // namespace toolkit
