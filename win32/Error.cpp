#include "win32/Error.h"

#include "win32/Messages.h"

namespace win32 {

std::wstring Widen(const char *text) {
  std::wstring wide;
  for (; text && *text; ++text)
    wide.push_back(static_cast<unsigned char>(*text));
  return wide;
}

std::wstring SystemErrorText(DWORD code) {
  wchar_t buffer[256] = {};
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, buffer, 256, nullptr);
  std::wstring text(buffer, length);
  while (!text.empty() && (text.back() <= L' ' || text.back() == L'.'))
    text.pop_back();
  return text;
}

void RaiseLastError(const std::wstring &what) {
  // Read before anything else can change it.
  const DWORD code = GetLastError();
  throw Error(what + SystemErrorText(code));
}

void RaiseFileCreateError(const std::wstring &path) {
  RaiseLastError(messages::kFileCreatePrefix + path + messages::kFileCreateSuffix);
}

void RaiseResourceNotFound(const std::wstring &name) {
  std::wstring text = messages::kResourceNotFound;
  text.replace(text.find(L"%s"), 2, name);
  throw Error(text);
}

void RaiseStreamWriteError() { throw Error(messages::kStreamWriteError); }

} // namespace win32
