// A program's resources as the loader finds them: type, name and language,
// each an ordinal or a UTF-16 name, down to one piece of data. Read from a
// stub's resource section, added to, and laid out again as a new one.
#pragma once

#include "builder/base/Bytes.h"

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {
class File;
}
struct Section;

// Where a resource's bytes go as the section is written.
class Sink {
public:
  virtual ~Sink() = default;
  virtual void Write(const std::uint8_t *data, std::size_t size) = 0;
};

// A resource's bytes, written when their turn comes: payload files are read
// only then, once, in chunks.
class DataSource {
public:
  virtual ~DataSource() = default;
  // Writes exactly the size the resource was added with.
  virtual void WriteTo(Sink &sink) = 0;
};

class BytesSource : public DataSource {
public:
  explicit BytesSource(Bytes bytes) : bytes_(std::move(bytes)) {}
  void WriteTo(Sink &sink) override { sink.Write(bytes_.data(), bytes_.size()); }
  const Bytes &Content() const { return bytes_; }

private:
  Bytes bytes_;
};

struct ResourceId {
  bool named = false;
  std::uint32_t id = 0;
  std::u16string name;

  static ResourceId Ordinal(std::uint32_t id) { return {false, id, {}}; }
  static ResourceId Named(std::u16string name) { return {true, 0, std::move(name)}; }
  static ResourceId Named(const char *ascii);
  std::string Text() const;
  bool operator==(const ResourceId &other) const {
    return named == other.named && id == other.id && name == other.name;
  }
};

// The loader's order, which its binary search relies on: names before
// ordinals, names compared without regard to case as Windows compares them
// (upper-cased), ordinals ascending.
bool operator<(const ResourceId &left, const ResourceId &right);

struct ResourceData {
  std::uint32_t size = 0;
  std::uint32_t codePage = 0;
  std::shared_ptr<DataSource> source;
};

// The whole of a small resource's data.
Bytes Contents(const ResourceData &data);

inline constexpr std::uint32_t kRtIcon = 3;
inline constexpr std::uint32_t kRtGroupIcon = 14;
inline constexpr std::uint32_t kRtVersion = 16;
inline constexpr std::uint32_t kRtManifest = 24;
// English (United States), what the resource compiler gave every resource.
inline constexpr std::uint32_t kLanguageEnglishUs = 0x409;

class ResourceTree {
public:
  // What is wrong with a directory that is not well formed.
  class Damaged : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
  };
  // A program's resources; their bytes stay in `file` until written.
  // Throws Damaged.
  static ResourceTree Read(platform::File &file, const Section &section,
                           std::uint32_t directoryRva);

  // Data is laid out in the order it was added.
  void Add(const ResourceId &type, const ResourceId &name, const ResourceId &language,
           ResourceData data);
  // The data of that type and name, in whichever language it first has.
  const ResourceData *Find(const ResourceId &type, const ResourceId &name) const;
  bool HasType(const ResourceId &type) const { return tree_.count(type) != 0; }
  // In how many languages the tree holds that resource: Windows picks one
  // by the user's interface language.
  std::size_t LanguageCount(const ResourceId &type, const ResourceId &name) const;

  struct Layout {
    Bytes directory;                        // tables, strings and data entries
    std::vector<std::uint32_t> dataOffsets; // of each piece of data, in the order added
    std::uint32_t size = 0;                 // of the whole section's content
  };
  // The section laid out to begin at `sectionRva`.
  Layout Lay(std::uint32_t sectionRva) const;
  const std::vector<ResourceData> &Data() const { return data_; }

private:
  using Languages = std::map<ResourceId, std::size_t>;
  using Names = std::map<ResourceId, Languages>;
  std::map<ResourceId, Names> tree_;
  std::vector<ResourceData> data_;
};
