// A sunken dividing line.
#pragma once

#include "toolkit/Control.h"

namespace toolkit {

class Bevel : public Control {
public:
  Bevel(Container &parent, Bounds bounds)
      : Control(parent, {L"STATIC", SS_ETCHEDHORZ}, bounds, L"") {}
};

} // namespace toolkit
