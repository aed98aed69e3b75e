// A font by face name, pixel height and weight.
#pragma once

#include "win32/Handle.h"

namespace toolkit {

inline win32::FontHandle MakeFont(const wchar_t *face, int pixelHeight, bool bold = false) {
  return win32::FontHandle(CreateFontW(
      -pixelHeight, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face));
}

} // namespace toolkit
