// Bytes as lower-case hexadecimal, as digests are shown and compared.
#pragma once

#include <cstdint>
#include <string>

template <typename ByteContainer> std::string Hex(const ByteContainer &bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}
