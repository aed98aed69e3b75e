#include "toolkit/Picture.h"

#include "toolkit/Colours.h"
#include "toolkit/Container.h"

namespace toolkit {

Picture::Picture(Container &parent, Bounds bounds, int bitmapId)
    : Control(parent, {L"STATIC", SS_OWNERDRAW}, bounds, L""), parent_(parent),
      bitmap_(static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(bitmapId),
                                              IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))) {}

void Picture::DrawItem(const DRAWITEMSTRUCT &item) {
  if (!bitmap_ || HighContrastOn() || parent_.FixedColourGivesWay()) {
    FillRect(item.hDC, &item.rcItem, parent_.BackgroundBrush());
    return;
  }
  BITMAP info{};
  GetObjectW(bitmap_.Get(), sizeof info, &info);
  const win32::MemoryDc source(item.hDC);
  const HGDIOBJ previous = SelectObject(source.Get(), bitmap_.Get());
  const RECT &to = item.rcItem;
  StretchBlt(item.hDC, to.left, to.top, to.right - to.left, to.bottom - to.top, source.Get(), 0, 0,
             info.bmWidth, info.bmHeight, SRCCOPY);
  // The bitmap is ours to keep: take it out before the context goes.
  SelectObject(source.Get(), previous);
}

} // namespace toolkit
