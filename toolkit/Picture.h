// A bitmap from the program's resources, stretched to the control's size.
// It gives way, with the fixed colour of the panel it lies on, to the
// user's scheme where that colour gives way (Colours.h): a decoration that
// would hide text then shows the scheme's window colour instead.
#pragma once

#include "toolkit/Control.h"

namespace toolkit {

class Picture : public Control {
public:
  Picture(Container &parent, Bounds bounds, int bitmapId);

protected:
  void DrawItem(const DRAWITEMSTRUCT &item) override;

private:
  const Container &parent_;
  win32::BitmapHandle bitmap_;
};

} // namespace toolkit
