// Modal message boxes with a caption, an icon and a single OK button.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace toolkit {

enum class MessageIcon { Information, Error };

void ShowMessageBox(HWND owner, const std::wstring &text, const std::wstring &caption,
                    MessageIcon icon);

// Tests replace the modal box with a recorder; an empty function restores it.
using MessageBoxHook = std::function<void(HWND owner, const std::wstring &text,
                                          const std::wstring &caption, MessageIcon icon)>;
void SetMessageBoxHook(MessageBoxHook hook);

} // namespace toolkit
