#include "builder/base/TextRules.h"

#include "builder/base/Utf.h"

#include <cstdio>

namespace {

struct Range {
  char32_t first, last;
};

bool In(char32_t code, std::initializer_list<Range> ranges) {
  for (const Range &range : ranges)
    if (code >= range.first && code <= range.last)
      return true;
  return false;
}

// Spaces other than U+0020, which str.isprintable refuses.
bool IsOtherSpace(char32_t code) {
  return In(code, {{0xA0, 0xA0},
                   {0x1680, 0x1680},
                   {0x2000, 0x200A},
                   {0x202F, 0x202F},
                   {0x205F, 0x205F},
                   {0x3000, 0x3000}});
}

} // namespace

bool IsWhiteSpace(char32_t code) {
  return In(code, {{0x09, 0x0D},
                   {0x1C, 0x20},
                   {0x85, 0x85},
                   {0xA0, 0xA0},
                   {0x1680, 0x1680},
                   {0x2000, 0x200A},
                   {0x2028, 0x2029},
                   {0x202F, 0x202F},
                   {0x205F, 0x205F},
                   {0x3000, 0x3000}});
}

bool IsControl(char32_t code) { return code < 0x20 || (code >= 0x7F && code <= 0x9F); }

bool IsInvisible(char32_t code) {
  // Format characters (bidirectional overrides and isolates among them) and
  // the line and paragraph separators.
  return IsControl(code) ||
         In(code, {{0xAD, 0xAD},       {0x600, 0x605},     {0x61C, 0x61C},     {0x6DD, 0x6DD},
                   {0x70F, 0x70F},     {0x890, 0x891},     {0x8E2, 0x8E2},     {0x180E, 0x180E},
                   {0x200B, 0x200F},   {0x2028, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},
                   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
                   {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
                   {0xE0020, 0xE007F}});
}

// Besides what is invisible: other spaces, surrogates, private use and
// noncharacters, which str.isprintable refuses too. (Unassigned code points
// count as printable here.)
bool IsPrintable(char32_t code) {
  if (code == U' ')
    return true;
  if (IsInvisible(code) || IsOtherSpace(code) || code > 0x10FFFF || (code & 0xFFFE) == 0xFFFE)
    return false;
  return !In(code, {{0xD800, 0xF8FF}, {0xFDD0, 0xFDEF}, {0xF0000, 0x10FFFF}});
}

std::string Escaped(const std::string &utf8, char separator) {
  std::string shown;
  for (std::size_t at = 0; at < utf8.size();) {
    if (utf8[at] == '\\' && separator != '\\') {
      shown += "\\\\";
      ++at;
      continue;
    }
    const std::size_t length = Utf8Length(utf8, at);
    if (!length) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(utf8[at++]));
      shown += hex;
      continue;
    }
    const char32_t code = DecodeUtf8(utf8.substr(at, length))[0];
    if (IsInvisible(code)) {
      char escape[16];
      if (code == U'\t' || code == U'\r' || code == U'\n')
        std::snprintf(escape, sizeof escape, "\\%c",
                      code == U'\t'   ? 't'
                      : code == U'\r' ? 'r'
                                      : 'n');
      else
        std::snprintf(escape, sizeof escape,
                      code < 0x100     ? "\\x%02x"
                      : code < 0x10000 ? "\\u%04x"
                                       : "\\U%08x",
                      static_cast<unsigned>(code));
      shown += escape;
    } else {
      shown.append(utf8, at, length);
    }
    at += length;
  }
  return shown;
}

std::string Describe(char32_t code) {
  if (code == U' ')
    return "a space";
  if (IsPrintable(code))
    return "\"" + EncodeUtf8(std::u32string(1, code)) + "\"";
  char text[24];
  std::snprintf(text, sizeof text, "the character U+%04X", static_cast<unsigned>(code));
  return text;
}

std::string WithThousands(unsigned long long number) {
  std::string digits = std::to_string(number);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
    digits.insert(static_cast<std::size_t>(at), ",");
  return digits;
}

std::string Listing(const std::vector<std::string> &items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i)
    text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
  return text;
}
