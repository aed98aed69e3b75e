#include "builder/TextRules.h"

#include "builder/Utf.h"

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

// Separators, format characters, surrogates, private use and
// noncharacters: what str.isprintable refuses besides controls.
// (Unassigned code points count as printable here.)
bool IsPrintable(char32_t code) {
  if (code == U' ')
    return true;
  if (IsControl(code) || code > 0x10FFFF || (code & 0xFFFE) == 0xFFFE)
    return false;
  return !In(code, {{0xA0, 0xA0},       {0xAD, 0xAD},       {0x600, 0x605},     {0x61C, 0x61C},
                    {0x6DD, 0x6DD},     {0x70F, 0x70F},     {0x890, 0x891},     {0x8E2, 0x8E2},
                    {0x1680, 0x1680},   {0x180E, 0x180E},   {0x2000, 0x200F},   {0x2028, 0x202F},
                    {0x205F, 0x2064},   {0x2066, 0x206F},   {0x3000, 0x3000},   {0xD800, 0xF8FF},
                    {0xFDD0, 0xFDEF},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD},
                    {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A},
                    {0xE0001, 0xE0001}, {0xE0020, 0xE007F}, {0xF0000, 0x10FFFF}});
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
