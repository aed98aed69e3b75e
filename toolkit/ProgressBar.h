// A smooth progress bar, named by the label that says what progresses.
#pragma once

#include "toolkit/Label.h"

#include <commctrl.h>

namespace toolkit {

class ProgressBar : public Control {
public:
  ProgressBar(Container &parent, Bounds bounds, int minimum, int maximum, const Label &label)
      : Control(parent, {PROGRESS_CLASSW, PBS_SMOOTH}, bounds, L"", Initially::Shown, &label) {
    SendMessageW(Handle(), PBM_SETRANGE32, minimum, maximum);
  }
  int Position() const { return static_cast<int>(SendMessageW(Handle(), PBM_GETPOS, 0, 0)); }
  void SetPosition(int position) { SendMessageW(Handle(), PBM_SETPOS, position, 0); }
};

} // namespace toolkit
