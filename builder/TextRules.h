// How the folder's rules see characters: white space and printable
// characters as Python's str.isspace and str.isprintable do, so that the
// messages are the ones owners have always had.
#pragma once

#include <string>

bool IsWhiteSpace(char32_t code);
bool IsControl(char32_t code);
// "a space", "\"é\"", or "the character U+000A".
std::string Describe(char32_t code);
// 1,281
std::string WithThousands(unsigned long long number);
