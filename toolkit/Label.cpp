#include "toolkit/Label.h"

#include "win32/Handle.h"

namespace toolkit {

Label::Label(Container &parent, Bounds bounds, const wchar_t *text, Initially state)
    : Control(parent, {L"STATIC", SS_LEFT | SS_NOPREFIX}, bounds, text, state),
      autoSize_(bounds.width == kAutoSize) {
  FitToText();
}

void Label::SetText(const std::wstring &text) {
  Control::SetText(text);
  FitToText();
}

void Label::SetFont(HFONT font) {
  Control::SetFont(font);
  FitToText();
}

void Label::FitToText() {
  if (!autoSize_)
    return;
  const std::wstring text = Text();
  // A memory context measures as well as the window's and costs far less
  // to get (the window's goes through the display driver).
  const win32::MemoryDc dc;
  SelectObject(dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageW(Handle(), WM_GETFONT, 0, 0)));
  RECT extent{0, 0, 0, 0};
  // An empty label keeps the height of one line, as a text would have.
  DrawTextW(dc.Get(), text.empty() ? L" " : text.c_str(), -1, &extent,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  if (text.empty())
    extent.right = 0;
  // Without SWP_NOCOPYBITS the system keeps the label's "valid" pixels
  // across the resize and copies them back: pixels of the text it held
  // before, which left a strip of the new one undrawn until the next full
  // repaint. Discarded, the whole label is drawn again with its new text.
  SetWindowPos(Handle(), nullptr, 0, 0, extent.right, extent.bottom,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
}

} // namespace toolkit
