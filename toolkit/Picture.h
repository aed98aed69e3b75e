// A bitmap from the program's resources, stretched to the control's size.
#pragma once

#include "toolkit/Control.h"

namespace toolkit {

class Picture : public Control {
public:
  Picture(Container &parent, Bounds bounds, int bitmapId);

protected:
  void DrawItem(const DRAWITEMSTRUCT &item) override;

private:
  win32::BitmapHandle bitmap_;
};

} // namespace toolkit
