// The toolkit's one way to register a window class and to make a window:
// a window the system would not make raises the error with the system's
// text, instead of leaving a control without one, on which every later
// call would quietly do nothing.
#pragma once

#include "win32/Handle.h"

#include <windows.h>

namespace toolkit {

// Position within the parent (or on the screen) and size, in pixels.
struct Bounds {
  int left;
  int top;
  int width;
  int height;
};

// A class registered before, by this program, counts as registered.
void RegisterWindowClass(const WNDCLASSEXW &windowClass);

win32::WindowHandle CreateCheckedWindow(DWORD exStyle, LPCWSTR windowClass, LPCWSTR text,
                                        DWORD style, Bounds bounds, HWND parent, HMENU menu);

} // namespace toolkit
