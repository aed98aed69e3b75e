#include "toolkit/MessageBox.h"

namespace toolkit {

namespace {
MessageBoxHook &Hook() {
  static MessageBoxHook hook;
  return hook;
}
} // namespace

void ShowMessageBox(HWND owner, const std::wstring &text, const std::wstring &caption,
                    MessageIcon icon) {
  if (Hook()) {
    Hook()(owner, text, caption, icon);
    return;
  }
  const UINT iconFlag = icon == MessageIcon::Error ? MB_ICONERROR : MB_ICONINFORMATION;
  MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | iconFlag);
}

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

} // namespace toolkit
