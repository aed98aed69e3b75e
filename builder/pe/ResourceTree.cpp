#include "builder/pe/ResourceTree.h"

#include "builder/base/TextRules.h"
#include "builder/pe/PeImage.h"
#include "builder/platform/Platform.h"
#include "resources/PackageFormat.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace {

constexpr std::uint32_t kHighBit = 0x80000000;
constexpr std::uint32_t kDataAlignment = 8;
// Budgets for a directory read from a file. A stub has some thirty
// resources named with a dozen characters or fewer, and a wizard ten more;
// these bounds are hundreds of times that. Every entry visited counts, as a
// damaged directory may point many entries at one table (or one name), so
// that memory (a few hundred bytes an entry, 4 MiB at most) and time stay
// bounded whatever the file.
constexpr std::size_t kMostEntries = 16384;
// UTF-16 units of names copied, in all.
constexpr std::size_t kMostNameUnits = 65536;

// Bytes of the stub's file, from where its resource data lies.
class FileRangeSource : public DataSource {
public:
  FileRangeSource(platform::File &file, std::uint64_t offset, std::uint32_t size)
      : file_(file), offset_(offset), size_(size) {}
  void WriteTo(Sink &sink) override {
    Bytes chunk(std::min<std::size_t>(size_, package_format::kChunkBytes));
    for (std::uint32_t done = 0; done < size_;) {
      const std::uint32_t piece =
          std::min<std::uint32_t>(size_ - done, static_cast<std::uint32_t>(chunk.size()));
      file_.ReadAt(offset_ + done, chunk.data(), piece);
      sink.Write(chunk.data(), piece);
      done += piece;
    }
  }

private:
  platform::File &file_;
  std::uint64_t offset_;
  std::uint32_t size_;
};

} // namespace

// A resource's 32-bit size is a size_t on every host the builder is built for.
static_assert(sizeof(std::size_t) >= sizeof(std::uint32_t));

Bytes Contents(const ResourceData &data) {
  struct Collect : Sink {
    Bytes bytes;
    void Write(const std::uint8_t *data, std::size_t size) override {
      bytes.insert(bytes.end(), data, data + size);
    }
  } collected;
  collected.bytes.reserve(data.size);
  data.source->WriteTo(collected);
  return collected.bytes;
}

ResourceId ResourceId::Named(const char *ascii) {
  return Named(std::u16string(ascii, ascii + std::char_traits<char>::length(ascii)));
}

std::string ResourceId::Text() const {
  if (!named)
    return std::to_string(id);
  // For a message: short, and nothing a terminal acts on.
  constexpr std::size_t kShown = 32;
  std::string text;
  for (std::size_t i = 0; i < std::min(name.size(), kShown); ++i)
    text += name[i] >= 0x20 && name[i] < 0x7F ? static_cast<char>(name[i]) : '?';
  return name.size() > kShown ? text + "…" : text;
}

bool operator<(const ResourceId &left, const ResourceId &right) {
  if (left.named != right.named)
    return left.named;
  if (!left.named)
    return left.id < right.id;
  return std::lexicographical_compare(
      left.name.begin(), left.name.end(), right.name.begin(), right.name.end(),
      [](char16_t a, char16_t b) { return AsciiUpper(a) < AsciiUpper(b); });
}

ResourceTree ResourceTree::Read(platform::File &file, const Section &section,
                                std::uint32_t directoryRva) {
  const auto damaged = [](const std::string &why) { return Damaged(why); };
  const std::uint32_t base = directoryRva - section.virtualAddress;
  const std::uint32_t available = std::min(section.virtualSize, section.sizeOfRawData);
  const auto read = [&](std::uint32_t offset, std::uint32_t size) {
    if (std::uint64_t(base) + offset + size > available)
      throw damaged("an entry points outside the resource section");
    Bytes bytes(size);
    file.ReadAt(std::uint64_t(section.pointerToRawData) + base + offset, bytes.data(), size);
    return bytes;
  };
  std::size_t nameUnits = 0;
  const auto idOf = [&](std::uint32_t field) {
    if (!(field & kHighBit))
      return ResourceId::Ordinal(field);
    const std::uint32_t at = field & ~kHighBit;
    const std::uint16_t length = Le16(read(at, 2).data());
    nameUnits += length;
    if (nameUnits > kMostNameUnits)
      throw damaged("its names are too long");
    const Bytes units = read(at + 2, 2u * length);
    std::u16string name;
    for (std::size_t i = 0; i < length; ++i)
      name.push_back(static_cast<char16_t>(Le16(&units[2 * i])));
    return ResourceId::Named(std::move(name));
  };
  std::size_t entriesSeen = 0;
  const auto entries = [&](std::uint32_t table) {
    const Bytes header = read(table, 16);
    const std::uint32_t count = Le16(&header[12]) + Le16(&header[14]);
    entriesSeen += count;
    if (entriesSeen > kMostEntries)
      throw damaged("it has too many entries");
    const Bytes raw = read(table + 16, 8 * count);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> list;
    for (std::uint32_t i = 0; i < count; ++i)
      list.emplace_back(Le32(&raw[8 * i]), Le32(&raw[8 * i + 4]));
    return list;
  };
  const auto subdirectory = [&](std::uint32_t target) {
    if (!(target & kHighBit))
      throw damaged("a type or name leads to data instead of a table");
    return target & ~kHighBit;
  };

  ResourceTree tree;
  for (const auto &[typeField, typeTarget] : entries(0)) {
    const ResourceId type = idOf(typeField);
    for (const auto &[nameField, nameTarget] : entries(subdirectory(typeTarget))) {
      const ResourceId name = idOf(nameField);
      for (const auto &[languageField, leaf] : entries(subdirectory(nameTarget))) {
        if (leaf & kHighBit)
          throw damaged("a language leads to a table instead of data");
        const Bytes entry = read(leaf, 16);
        const std::uint32_t rva = Le32(&entry[0]);
        const std::uint32_t size = Le32(&entry[4]);
        if (rva < section.virtualAddress ||
            std::uint64_t(rva - section.virtualAddress) + size > available)
          throw damaged("resource data lies outside the resource section");
        ResourceData data;
        data.size = size;
        data.codePage = Le32(&entry[8]);
        data.source = std::make_shared<FileRangeSource>(
            file, std::uint64_t(section.pointerToRawData) + (rva - section.virtualAddress), size);
        const ResourceId language = idOf(languageField);
        if (tree.tree_[type][name].count(language))
          throw damaged("it lists resource " + name.Text() + " of type " + type.Text() +
                        " in language " + language.Text() + " twice");
        tree.Add(type, name, language, std::move(data));
      }
    }
  }
  return tree;
}

void ResourceTree::Add(const ResourceId &type, const ResourceId &name, const ResourceId &language,
                       ResourceData data) {
  auto &languages = tree_[type][name];
  if (languages.count(language))
    throw std::logic_error("resource " + type.Text() + "/" + name.Text() + " added twice");
  languages[language] = data_.size();
  data_.push_back(std::move(data));
}

std::size_t ResourceTree::LanguageCount(const ResourceId &type, const ResourceId &name) const {
  const auto names = tree_.find(type);
  if (names == tree_.end())
    return 0;
  const auto languages = names->second.find(name);
  return languages == names->second.end() ? 0 : languages->second.size();
}

const ResourceData *ResourceTree::Find(const ResourceId &type, const ResourceId &name) const {
  const auto names = tree_.find(type);
  if (names == tree_.end())
    return nullptr;
  const auto languages = names->second.find(name);
  if (languages == names->second.end() || languages->second.empty())
    return nullptr;
  return &data_[languages->second.begin()->second];
}

ResourceTree::Layout ResourceTree::Lay(std::uint32_t sectionRva) const {
  // Tables breadth first (types, then names, then languages), each followed
  // by its entries; then the names' strings; then the data entries; then
  // the data, each piece 8-byte aligned.
  const auto tableSize = [](std::size_t entries) {
    return static_cast<std::uint32_t>(16 + 8 * entries);
  };
  std::uint32_t offset = tableSize(tree_.size());
  std::map<const Names *, std::uint32_t> nameTables;
  std::map<const Languages *, std::uint32_t> languageTables;
  for (const auto &[type, names] : tree_) {
    nameTables[&names] = offset;
    offset += tableSize(names.size());
  }
  for (const auto &[type, names] : tree_)
    for (const auto &[name, languages] : names) {
      languageTables[&languages] = offset;
      offset += tableSize(languages.size());
    }
  std::vector<const ResourceId *> named;
  for (const auto &[type, names] : tree_) {
    if (type.named)
      named.push_back(&type);
    for (const auto &[name, languages] : names) {
      if (name.named)
        named.push_back(&name);
      for (const auto &[language, index] : languages)
        if (language.named)
          named.push_back(&language);
    }
  }
  std::map<const ResourceId *, std::uint32_t> strings;
  for (const ResourceId *id : named) {
    strings[id] = offset;
    offset += static_cast<std::uint32_t>(2 + 2 * id->name.size());
  }
  offset = AlignUp<std::uint32_t>(offset, 4);
  std::vector<std::uint32_t> dataEntries(data_.size());
  std::uint32_t entry = offset;
  for (const auto &[type, names] : tree_)
    for (const auto &[name, languages] : names)
      for (const auto &[language, index] : languages) {
        dataEntries[index] = entry;
        entry += 16;
      }
  Layout layout;
  offset = entry;
  for (const ResourceData &data : data_) {
    offset = AlignUp(offset, kDataAlignment);
    layout.dataOffsets.push_back(offset);
    if (std::uint64_t(offset) + data.size > 0x7FFFFFFF)
      throw std::length_error("the resources come to 2 GiB or more");
    offset += data.size;
  }
  layout.size = offset;

  Bytes &out = layout.directory;
  const auto idField = [&](const ResourceId &id) {
    return id.named ? kHighBit | strings.at(&id) : id.id;
  };
  const auto table = [&](const auto &entries, const auto &target) {
    AppendZeros(out, 12); // characteristics, time stamp, version: all zero
    std::uint16_t namedCount = 0;
    for (const auto &item : entries)
      namedCount += item.first.named;
    Append16(out, namedCount);
    Append16(out, static_cast<std::uint16_t>(entries.size() - namedCount));
    for (const auto &item : entries) {
      Append32(out, idField(item.first));
      Append32(out, target(item.second));
    }
  };
  table(tree_, [&](const Names &names) { return kHighBit | nameTables.at(&names); });
  for (const auto &[type, names] : tree_)
    table(names,
          [&](const Languages &languages) { return kHighBit | languageTables.at(&languages); });
  for (const auto &[type, names] : tree_)
    for (const auto &[name, languages] : names)
      table(languages, [&](std::size_t index) { return dataEntries[index]; });
  for (const ResourceId *id : named) {
    Append16(out, static_cast<std::uint16_t>(id->name.size()));
    for (const char16_t unit : id->name)
      Append16(out, unit);
  }
  AppendZeros(out, AlignUp<std::size_t>(out.size(), 4) - out.size());
  for (const auto &[type, names] : tree_)
    for (const auto &[name, languages] : names)
      for (const auto &[language, index] : languages) {
        Append32(out, sectionRva + layout.dataOffsets[index]);
        Append32(out, data_[index].size);
        Append32(out, data_[index].codePage);
        Append32(out, 0);
      }
  return layout;
}
