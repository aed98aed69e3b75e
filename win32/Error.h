// The one error type of the program, and the one place where a failed
// Windows call becomes an error carrying what failed and the system's own
// text. Handlers do not catch errors: the toolkit's event dispatch hands
// them to the error display.
#pragma once

#include <windows.h>

#include <string>

namespace win32 {

class Error {
public:
  explicit Error(std::wstring message) : message_(std::move(message)) {}
  virtual ~Error() = default;
  const std::wstring &Message() const { return message_; }

private:
  std::wstring message_;
};

// A message from the C++ library (plain ASCII) as the program's text.
std::wstring Widen(const char *text);

// The platform's text for a system error code: at most 255 characters, with
// trailing spaces, control characters and full stops removed.
std::wstring SystemErrorText(DWORD code);

// Raises `what` followed by the system's text for GetLastError(): call it
// straight after the failed call, with a `what` that names what failed (a
// path, a call) and ends where the system's text follows.
[[noreturn]] void RaiseLastError(const std::wstring &what);

// The base layer's own errors, with the texts of its message table.
[[noreturn]] void RaiseFileCreateError(const std::wstring &path); // from GetLastError()
[[noreturn]] void RaiseResourceNotFound(const std::wstring &name);
[[noreturn]] void RaiseStreamWriteError();

} // namespace win32
