// A line of text (a static control) that sizes itself to its text. A hidden
// one names a control that has no visible label, for screen readers only.
#pragma once

#include "toolkit/Control.h"

namespace toolkit {

class Label : public Control {
public:
  Label(Container &parent, Bounds bounds, const wchar_t *text, Initially state = Initially::Shown);
  void SetText(const std::wstring &text) override;
  void SetFont(HFONT font) override;

private:
  void FitToText();
  bool autoSize_;
};

} // namespace toolkit
