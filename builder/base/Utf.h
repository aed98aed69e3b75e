// Unicode text as the builder handles it: bytes checked as UTF-8 or UTF-16,
// code points for the folder's rules, UTF-16 for resources.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The byte offset where `bytes` stop being UTF-8 (the first byte of the
// first sequence that is not a whole, shortest-form scalar value), or
// nothing when all of it is.
std::optional<std::size_t> Utf8Error(const std::string &bytes);

// The length of the well-formed UTF-8 sequence at `at`, or 0.
std::size_t Utf8Length(const std::string &bytes, std::size_t at);

// Code points of text that Utf8Error accepts.
std::u32string DecodeUtf8(const std::string &bytes);

// UTF-16 code units in the given byte order; the offset of the first unit
// that is no part of a character (a lone surrogate or a last odd byte).
struct Utf16Decoded {
  std::u32string text;
  std::optional<std::size_t> errorAt;
};
Utf16Decoded DecodeUtf16(const std::string &bytes, bool bigEndian);

std::string EncodeUtf8(const std::u32string &text);
std::u16string EncodeUtf16(const std::u32string &text);
inline std::u16string Utf8ToUtf16(const std::string &bytes) {
  return EncodeUtf16(DecodeUtf8(bytes));
}
// The encoding a byte-order mark at the start of a file names, and the
// mark's length in bytes.
enum class Encoding { None, Utf8, Utf16Le, Utf16Be, Utf32Le, Utf32Be };
struct ByteOrderMark {
  Encoding encoding;
  std::size_t size;
};
ByteOrderMark ByteOrderMarkOf(const std::string &bytes);

// Text from a file that may not be UTF-8: each byte that is no part of a
// character shown as U+FFFD.
std::string ValidUtf8(const std::string &bytes);
// UTF-16 from a file that may hold lone surrogates: each shown as U+FFFD.
std::string Utf16ToUtf8(const std::u16string &units);
