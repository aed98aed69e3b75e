// A line of text (a static control) that sizes itself to its text.
#pragma once

#include "toolkit/Control.h"

namespace toolkit {

class Label : public Control {
public:
  Label(Container &parent, Bounds bounds, const std::wstring &text);
  void SetText(const std::wstring &text) override;
  void SetFont(HFONT font) override;

private:
  void FitToText();
  bool autoSize_;
};

} // namespace toolkit
