#include "builder/package/Agreement.h"

#include "builder/base/Refusal.h"
#include "builder/base/TextRules.h"
#include "builder/base/Utf.h"

#include <cstdio>

namespace {

const char kSaveAsUtf8[] = "Save agreement.txt as UTF-8 (in Notepad: Save As, Encoding UTF-8).";

// Line and column (both from 1, the column in characters) of the character
// after `before`; a line ends at CR LF, CR or LF.
std::string Position(const std::u32string &before) {
  std::size_t line = 1, column = 1;
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (before[i] == U'\r' || before[i] == U'\n') {
      if (before[i] == U'\r' && i + 1 < before.size() && before[i + 1] == U'\n')
        ++i;
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

} // namespace

std::string AgreementText(const std::string &path, const std::string &data) {
  const ByteOrderMark mark = ByteOrderMarkOf(data);
  if (mark.encoding == Encoding::Utf32Le || mark.encoding == Encoding::Utf32Be)
    throw Refusal(path + " is UTF-32, which the wizard does not read. " + kSaveAsUtf8);
  std::u32string text;
  const bool littleEndian = mark.encoding == Encoding::Utf16Le;
  if (littleEndian || mark.encoding == Encoding::Utf16Be) {
    const std::string units = data.substr(mark.size);
    const Utf16Decoded decoded = DecodeUtf16(units, !littleEndian);
    if (decoded.errorAt)
      throw Refusal(path + " is marked as UTF-16 " + (littleEndian ? "little" : "big") +
                    "-endian, but its text is broken at " +
                    Position(DecodeUtf16(units.substr(0, *decoded.errorAt), !littleEndian).text) +
                    ". " + kSaveAsUtf8);
    text = decoded.text;
  } else {
    const std::string bytes = data.substr(mark.size);
    if (const auto bad = Utf8Error(bytes)) {
      char byte[8];
      std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(bytes[*bad]));
      throw Refusal(path + " is not UTF-8: the byte " + byte + " at " +
                    Position(DecodeUtf8(bytes.substr(0, *bad))) +
                    " is not part of any UTF-8 character. " + kSaveAsUtf8);
    }
    text = DecodeUtf8(bytes);
  }
  if (const auto nul = text.find(U'\0'); nul != std::u32string::npos)
    throw Refusal(path + " holds a NUL character at " + Position(text.substr(0, nul)) +
                  ", as UTF-16 without a byte-order mark would. " + kSaveAsUtf8);
  bool blank = true;
  for (const char32_t code : text)
    blank = blank && IsWhiteSpace(code);
  if (blank)
    throw Refusal(
        path + " " + (text.empty() ? "is empty" : "holds only white space") +
        ": write into it the licence agreement the user accepts on the wizard's first page.");
  std::u32string lines;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == U'\r' || text[i] == U'\n') {
      if (text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n')
        ++i;
      lines += U"\r\n";
    } else {
      lines += text[i];
    }
  }
  return EncodeUtf8(lines);
}
