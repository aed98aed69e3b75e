// The toolkit's silent error: it leaves a handler quietly, and the event
// dispatch shows no box for it.
#pragma once

#include "win32/Error.h"

namespace toolkit {

class Abort : public win32::Error {
public:
  Abort() : Error(std::wstring()) {}
};

} // namespace toolkit
