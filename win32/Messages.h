// The platform layer's own message table (win32/ and toolkit/): its errors
// are in Japanese, as they always were, whatever the application's own
// texts (resources/Texts.h) are; the error display's last resort stays in
// English. UTF-16, so that they read the same whatever the user's code page.
#pragma once

namespace win32::messages {

// %s: the resource's name.
inline constexpr wchar_t kResourceNotFound[] = L"%s リソースが見つかりません";
// A file that cannot be created: prefix, path, suffix, then the system's text.
inline constexpr wchar_t kFileCreatePrefix[] = L"ファイル \"";
inline constexpr wchar_t kFileCreateSuffix[] = L"\" を作成できません。";
inline constexpr wchar_t kStreamWriteError[] = L"ストリームへの書き込みエラー";
// A window or window class the system would not make, then the system's text.
inline constexpr wchar_t kWindowCreateError[] = L"ウィンドウを作成できません。";
inline constexpr wchar_t kWindowClassError[] = L"ウィンドウ クラスを登録できません。";
// The error display's text for an error that carries none.
inline constexpr wchar_t kUnexpectedError[] = L"Unexpected error";

} // namespace win32::messages
