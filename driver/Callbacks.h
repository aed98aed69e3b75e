// The driver's window enumerations call back from the system's code: no
// exception may cross into it (a failed allocation ends the enumeration).
#pragma once

#include <windows.h>

template <typename Body> BOOL Guarded(const Body &body) noexcept {
  try {
    return body();
  } catch (...) {
    return FALSE;
  }
}
