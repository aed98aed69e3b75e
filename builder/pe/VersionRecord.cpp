#include "builder/pe/VersionRecord.h"

#include "builder/base/Utf.h"

#include <stdexcept>
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
  for (const std::uint32_t field : {0xFEEF04BDu,  // signature
                                    0x00010000u,  // structure version
                                    kVersionHigh, // file version
                                    kVersionLow,  //
                                    kVersionHigh, // product version
                                    kVersionLow,  //
                                    0x3Fu,        // VS_FFI_FILEFLAGSMASK
                                    0u,           // flags
                                    0x00000004u,  // VOS__WINDOWS32
                                    0x00000001u,  // VFT_APP
                                    0u,           // VFT2_UNKNOWN
                                    0u, 0u})      // date
    Append32(fixed.value, field);

  Node table{"040904B0", true, {}, 0, {}};
  table.children = {
      Text("CompanyName", companyName),       Text("FileDescription", kProductPackage),
      Text("FileVersion", kVersionText),      Text("InternalName", kProductPackage),
      Text("LegalCopyright", legalCopyright), Text("LegalTrademarks", ""),
      Text("OriginalFilename", ""),           Text("ProductName", kProductName),
      Text("ProductVersion", kVersionText),   Text("Comments", kProductPackage)};
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

namespace {

// One node as read: its key, its value's bytes and its children's span.
struct ReadNode {
  std::u16string key;
  std::size_t valueAt, valueEnd, childrenAt, end;
};

ReadNode ReadAt(const Bytes &record, std::size_t at, std::size_t limit) {
  const auto damaged = [] { return std::runtime_error("its version record is damaged"); };
  if (at + 6 > limit)
    throw damaged();
  const std::uint16_t length = Le16(&record[at]);
  const std::uint16_t valueLength = Le16(&record[at + 2]);
  const bool text = Le16(&record[at + 4]) == 1;
  // Some resource compilers count the padding after the last child, which
  // the record need not hold.
  const std::size_t end = std::min(at + length, limit);
  if (length < 6)
    throw damaged();
  ReadNode node;
  std::size_t i = at + 6;
  for (; i + 1 < end && Le16(&record[i]); i += 2)
    node.key.push_back(static_cast<char16_t>(Le16(&record[i])));
  if (i + 1 >= end)
    throw damaged();
  node.valueAt = std::min(AlignUp<std::size_t>(i + 2, 4), end);
  // A text's length is counted in characters by some compilers, in bytes by
  // others: a text value (a string, which has no children) runs to the
  // node's end or its NUL.
  const bool string = text && valueLength;
  node.valueEnd = string ? end : std::min(node.valueAt + valueLength, end);
  node.childrenAt = string ? end : std::min(AlignUp<std::size_t>(node.valueEnd, 4), end);
  node.end = end;
  return node;
}

template <typename Visit> void Children(const Bytes &record, const ReadNode &parent, Visit visit) {
  for (std::size_t at = parent.childrenAt; at + 6 <= parent.end;) {
    const ReadNode child = ReadAt(record, at, parent.end);
    visit(child);
    at = AlignUp<std::size_t>(child.end, 4);
  }
}

std::string Version(const Bytes &record, std::size_t at) {
  const std::uint32_t high = Le32(&record[at]), low = Le32(&record[at + 4]);
  return std::to_string(high >> 16) + "." + std::to_string(high & 0xFFFF) + "." +
         std::to_string(low >> 16) + "." + std::to_string(low & 0xFFFF);
}

} // namespace

VersionFacts ReadVersionRecord(const Bytes &record) {
  VersionFacts facts;
  const ReadNode root = ReadAt(record, 0, record.size());
  if (root.valueEnd - root.valueAt >= 24 && Le32(&record[root.valueAt]) == 0xFEEF04BD) {
    facts.fileVersion = Version(record, root.valueAt + 8);
    facts.productVersion = Version(record, root.valueAt + 16);
  }
  bool tableRead = false;
  Children(record, root, [&](const ReadNode &block) {
    if (block.key != u"StringFileInfo")
      return;
    Children(record, block, [&](const ReadNode &table) {
      if (tableRead)
        return;
      tableRead = true;
      Children(record, table, [&](const ReadNode &string) {
        std::u16string value;
        for (std::size_t i = string.valueAt; i + 1 < string.valueEnd && Le16(&record[i]); i += 2)
          value.push_back(static_cast<char16_t>(Le16(&record[i])));
        facts.strings[Utf16ToUtf8(string.key)] = Utf16ToUtf8(value);
      });
    });
  });
  return facts;
}
