// The program's own versions of the C++ library's internal failure hooks.
// The library's versions format std::string messages and pull its string
// and exception-text machinery (and a symbol demangler for the terminate
// message) into every program, roughly half of this one. Ours raise the
// program's error, which the event dispatch shows like any other; none of
// them is reached by a correct program.
#include "resources/Texts.h"
#include "win32/Error.h"

#include <cstdlib>
#include <new>

namespace {

[[noreturn]] void RaiseInternalError(const std::wstring &what) {
  throw win32::Error(texts::kInternalError + what);
}

[[noreturn]] void RaiseInternalError(const char *what) { RaiseInternalError(win32::Widen(what)); }

} // namespace

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_function_call() { RaiseInternalError(texts::kEmptyFunctionCalled); }
void __throw_length_error(const char *what) { RaiseInternalError(what); }
void __throw_logic_error(const char *what) { RaiseInternalError(what); }
void __throw_out_of_range(const char *what) { RaiseInternalError(what); }
void __throw_out_of_range_fmt(const char *what, ...) { RaiseInternalError(what); }
void __throw_invalid_argument(const char *what) { RaiseInternalError(what); }

} // namespace std

namespace __gnu_cxx {

// An exception that escapes everything ends the program without a word, as
// the system would end it anyway; the event dispatch makes this unreachable.
void __verbose_terminate_handler() { std::abort(); }

} // namespace __gnu_cxx
