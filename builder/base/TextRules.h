// How the folder's rules see characters: white space and printable
// characters as Python's str.isspace and str.isprintable do, so that the
// messages are the ones owners have always had.
#pragma once

#include <string>
#include <vector>

bool IsWhiteSpace(char32_t code);
bool IsControl(char32_t code);
// What a terminal would act on or hide rather than show: controls (C0 and
// C1), format characters (bidirectional overrides among them) and the line
// and paragraph separators.
bool IsInvisible(char32_t code);
bool IsPrintable(char32_t code);
// Text from a file, safe to print: each invisible character and each byte
// that is no part of a UTF-8 character written as an escape (\n, \x1b,
// \u202e, \U000e0001), and a backslash as \\, so that the text "\x1b"
// cannot pass for an escaped ESC. A `separator` backslash stays single: a
// Windows path's, which no name holds.
std::string Escaped(const std::string &utf8, char separator = '\0');
// ASCII letters alone changed, whatever the locale: names compared as
// Windows compares resource and file names, words as CMake reads them.
template <typename Char> constexpr Char AsciiUpper(Char c) {
  return c >= 'a' && c <= 'z' ? static_cast<Char>(c - 'a' + 'A') : c;
}
template <typename Char> constexpr Char AsciiLower(Char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<Char>(c - 'A' + 'a') : c;
}
// "a space", "\"é\"", or "the character U+000A".
std::string Describe(char32_t code);
// 1,281
std::string WithThousands(unsigned long long number);
// "a", "a and b", "a, b and c".
std::string Listing(const std::vector<std::string> &items);
