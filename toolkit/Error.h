// Error objects raised by the toolkit and the code built on it. Handlers do
// not catch them: the event dispatch hands them to the error display.
#pragma once

#include <windows.h>

#include <string>

namespace toolkit {

class Error {
public:
  explicit Error(std::wstring message) : message_(std::move(message)) {}
  virtual ~Error() = default;
  const std::wstring &Message() const { return message_; }

private:
  std::wstring message_;
};

// Leaves a handler quietly: the event dispatch shows no box for it.
class Abort : public Error {
public:
  Abort() : Error(std::wstring()) {}
};

// A message from the C++ library (plain ASCII) as the toolkit's text.
std::wstring Widen(const char *text);

// The platform's text for a system error code: at most 255 characters, with
// trailing spaces, control characters and full stops removed.
std::wstring SystemErrorText(DWORD code);

// The one place where a failed file or folder creation becomes an error: it
// carries the path and the system's text for GetLastError(), so call it
// straight after the failed call.
[[noreturn]] void RaiseFileCreateError(const std::wstring &path);
[[noreturn]] void RaiseResourceNotFound(const std::wstring &name);
[[noreturn]] void RaiseStreamWriteError();

} // namespace toolkit
