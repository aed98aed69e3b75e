#include "toolkit/Error.h"

#include "resources/Texts.h"

namespace toolkit {

namespace {

std::wstring Format(const wchar_t *pattern, const std::wstring &argument) {
  std::wstring text = pattern;
  const auto at = text.find(L"%s");
  if (at != std::wstring::npos)
    text.replace(at, 2, argument);
  return text;
}

} // namespace

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

void RaiseFileCreateError(const std::wstring &path) {
  const DWORD code = GetLastError();
  throw Error(texts::kFileCreatePrefix + path + texts::kFileCreateSuffix + SystemErrorText(code));
}

void RaiseResourceNotFound(const std::wstring &name) {
  throw Error(Format(texts::kResourceNotFound, name));
}

void RaiseStreamWriteError() { throw Error(texts::kStreamWriteError); }

} // namespace toolkit
