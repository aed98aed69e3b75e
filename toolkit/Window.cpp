#include "toolkit/Window.h"

#include "win32/Error.h"
#include "win32/Messages.h"

namespace toolkit {

void RegisterWindowClass(const WNDCLASSEXW &windowClass) {
  if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    win32::RaiseLastError(win32::messages::kWindowClassError);
}

win32::WindowHandle CreateCheckedWindow(DWORD exStyle, LPCWSTR windowClass, LPCWSTR text,
                                        DWORD style, Bounds bounds, HWND parent, HMENU menu) {
  // Cleared first: a window that refuses to be made in its own WM_CREATE
  // sets no error of its own.
  SetLastError(ERROR_SUCCESS);
  const HWND window =
      CreateWindowExW(exStyle, windowClass, text, style, bounds.left, bounds.top, bounds.width,
                      bounds.height, parent, menu, GetModuleHandleW(nullptr), nullptr);
  if (!window)
    win32::RaiseLastError(win32::messages::kWindowCreateError);
  return win32::WindowHandle(window);
}

} // namespace toolkit
