#include "builder/base/Utf.h"

namespace {

bool Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

} // namespace

std::size_t Utf8Length(const std::string &bytes, std::size_t at) {
  const auto byte = [&](std::size_t i) -> unsigned {
    return at + i < bytes.size() ? static_cast<unsigned char>(bytes[at + i]) : 0x100;
  };
  const unsigned lead = byte(0);
  if (lead < 0x80)
    return 1;
  // Second-byte ranges rule out overlong forms, surrogates and code points
  // above U+10FFFF.
  unsigned low = 0x80, high = 0xBF;
  std::size_t length;
  if (lead >= 0xC2 && lead <= 0xDF)
    length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0)
      low = 0xA0;
    if (lead == 0xED)
      high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0)
      low = 0x90;
    if (lead == 0xF4)
      high = 0x8F;
  } else
    return 0;
  if (byte(1) < low || byte(1) > high)
    return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (byte(i) > 0xFF || !Continuation(static_cast<unsigned char>(byte(i))))
      return 0;
  return length;
}

std::optional<std::size_t> Utf8Error(const std::string &bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = Utf8Length(bytes, at);
    if (!length)
      return at;
    at += length;
  }
  return std::nullopt;
}

std::u32string DecodeUtf8(const std::string &bytes) {
  std::u32string text;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = Utf8Length(bytes, at);
    if (!length)
      break;
    const auto lead = static_cast<unsigned char>(bytes[at]);
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i)
      code = code << 6 | (static_cast<unsigned char>(bytes[at + i]) & 0x3F);
    text.push_back(code);
    at += length;
  }
  return text;
}

Utf16Decoded DecodeUtf16(const std::string &bytes, bool bigEndian) {
  Utf16Decoded decoded;
  const auto unit = [&](std::size_t i) -> char32_t {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? char32_t(first) << 8 | second : char32_t(second) << 8 | first;
  };
  std::size_t at = 0;
  for (; at + 1 < bytes.size(); at += 2) {
    const char32_t code = unit(at);
    if (code >= 0xD800 && code <= 0xDBFF && at + 3 < bytes.size()) {
      const char32_t next = unit(at + 2);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        decoded.text.push_back(0x10000 + ((code - 0xD800) << 10) + (next - 0xDC00));
        at += 2;
        continue;
      }
    }
    if (code >= 0xD800 && code <= 0xDFFF) {
      decoded.errorAt = at;
      return decoded;
    }
    decoded.text.push_back(code);
  }
  if (at < bytes.size())
    decoded.errorAt = at;
  return decoded;
}

std::string EncodeUtf8(const std::u32string &text) {
  std::string bytes;
  for (const char32_t code : text) {
    if (code < 0x80) {
      bytes.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      bytes.push_back(static_cast<char>(0xC0 | code >> 6));
      bytes.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      bytes.push_back(static_cast<char>(0xE0 | code >> 12));
      bytes.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
      bytes.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      bytes.push_back(static_cast<char>(0xF0 | code >> 18));
      bytes.push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
      bytes.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
      bytes.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return bytes;
}

std::u16string EncodeUtf16(const std::u32string &text) {
  std::u16string units;
  for (const char32_t code : text) {
    if (code < 0x10000) {
      units.push_back(static_cast<char16_t>(code));
    } else {
      units.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    }
  }
  return units;
}

std::string Utf16ToUtf8(const std::u16string &units) {
  std::u32string text;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char32_t unit = units[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      text.push_back(0x10000 + ((unit - 0xD800) << 10) + (units[++i] - 0xDC00));
    } else {
      text.push_back(unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
    }
  }
  return EncodeUtf8(text);
}

std::string ValidUtf8(const std::string &bytes) {
  std::string text;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = Utf8Length(bytes, at);
    text += length ? bytes.substr(at, length) : "\xEF\xBF\xBD";
    at += length ? length : 1;
  }
  return text;
}

ByteOrderMark ByteOrderMarkOf(const std::string &bytes) {
  // UTF-32 first: its little-endian mark begins as UTF-16's does.
  if (bytes.compare(0, 4, std::string("\xFF\xFE\0\0", 4)) == 0)
    return {Encoding::Utf32Le, 4};
  if (bytes.compare(0, 4, std::string("\0\0\xFE\xFF", 4)) == 0)
    return {Encoding::Utf32Be, 4};
  if (bytes.compare(0, 2, "\xFF\xFE") == 0)
    return {Encoding::Utf16Le, 2};
  if (bytes.compare(0, 2, "\xFE\xFF") == 0)
    return {Encoding::Utf16Be, 2};
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
    return {Encoding::Utf8, 3};
  return {Encoding::None, 0};
}
