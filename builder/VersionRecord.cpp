#include "builder/VersionRecord.h"

#include "builder/Utf.h"

#include <vector>

namespace {

const char kProductPackage[] = "ORVEN VELNORIX Serial Emulation Driver Package";
const char kProductName[] = "ORVEN VELNORIX Serial Emulation Driver Ver.4.10a";
const char kVersionText[] = "4.1.0.0";
// 4.1.0.0 as the fixed part's two 32-bit halves.
constexpr std::uint32_t kVersionHigh = 0x00040001, kVersionLow = 0;
constexpr std::uint32_t kLanguageEnglishUs = 0x0409, kCodePageUnicode = 1200;

// One node: a key, a value (text in UTF-16 units or binary) and children,
// each part 32-bit aligned from the record's start; a node's length ends
// with its last byte, not with the padding after it.
struct Node {
  std::string key;
  bool text = false;
  Bytes value;
  std::uint16_t valueLength = 0;
  std::vector<Node> children;
};

Node Text(const std::string &key, const std::string &utf8) {
  Node node{key, true, {}, 0, {}};
  const std::u16string units = Utf8ToUtf16(utf8) + u'\0';
  for (const char16_t unit : units)
    Append16(node.value, unit);
  node.valueLength = static_cast<std::uint16_t>(units.size());
  return node;
}

void Write(Bytes &out, const Node &node) {
  const std::size_t start = out.size();
  AppendZeros(out, 2); // the length, known at the end
  Append16(out, node.valueLength);
  Append16(out, node.text ? 1 : 0);
  for (const char16_t unit : Utf8ToUtf16(node.key) + u'\0')
    Append16(out, unit);
  AppendZeros(out, AlignUp<std::size_t>(out.size(), 4) - out.size());
  out.insert(out.end(), node.value.begin(), node.value.end());
  for (const Node &child : node.children) {
    AppendZeros(out, AlignUp<std::size_t>(out.size(), 4) - out.size());
    Write(out, child);
  }
  PutLe16(&out[start], static_cast<std::uint16_t>(out.size() - start));
}

} // namespace

Bytes VersionRecord(const std::string &companyName, const std::string &legalCopyright) {
  Node fixed{"VS_VERSION_INFO", false, {}, 52, {}};
  for (const std::uint32_t field : {
           0xFEEF04BDu,   // signature
           0x00010000u,   // structure version
           kVersionHigh,  // file version
           kVersionLow,   //
           kVersionHigh,  // product version
           kVersionLow,   //
           0x3Fu,         // VS_FFI_FILEFLAGSMASK
           0u,            // flags
           0x00000004u,   // VOS__WINDOWS32
           0x00000001u,   // VFT_APP
           0u,            // VFT2_UNKNOWN
           0u, 0u})       // date
    Append32(fixed.value, field);

  Node table{"040904B0", true, {}, 0, {}};
  table.children = {Text("CompanyName", companyName),
                    Text("FileDescription", kProductPackage),
                    Text("FileVersion", kVersionText),
                    Text("InternalName", kProductPackage),
                    Text("LegalCopyright", legalCopyright),
                    Text("LegalTrademarks", ""),
                    Text("OriginalFilename", ""),
                    Text("ProductName", kProductName),
                    Text("ProductVersion", kVersionText),
                    Text("Comments", kProductPackage)};
  Node strings{"StringFileInfo", true, {}, 0, {table}};

  Node translation{"Translation", false, {}, 4, {}};
  Append16(translation.value, kLanguageEnglishUs);
  Append16(translation.value, kCodePageUnicode);
  Node variables{"VarFileInfo", true, {}, 0, {translation}};

  fixed.children = {strings, variables};
  Bytes record;
  Write(record, fixed);
  return record;
}
