// A PE32 or PE32+ program's headers: the file header, the optional header's
// fields the builder reads or rewrites, the data directories and the
// section table, read from the first SizeOfHeaders bytes of the file.
#pragma once

#include "builder/base/Bytes.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {
class File;
}

struct Section {
  std::string name;
  std::uint32_t virtualSize;
  std::uint32_t virtualAddress;
  std::uint32_t sizeOfRawData;
  std::uint32_t pointerToRawData;
  std::uint32_t characteristics;
};

struct DataDirectory {
  std::uint32_t virtualAddress;
  std::uint32_t size;
};

enum DataDirectoryIndex {
  kResourceDirectory = 2,
  kSecurityDirectory = 4,
  kBaseRelocationDirectory = 5
};

inline constexpr std::uint32_t kScnCntInitializedData = 0x00000040;
inline constexpr std::uint32_t kScnMemRead = 0x40000000;

// Why a file is no PE32 or PE32+ program the builder reads: what() says
// what is wrong with it, for a message that names the file.
class NotAProgram : public std::runtime_error {
public:
  enum class Kind { NotPe, OtherMachine, CutShort };
  NotAProgram(Kind kind, const std::string &why, std::uint64_t needed = 0)
      : std::runtime_error(why), kind(kind), needed(needed) {}
  Kind kind;
  // CutShort: the size the headers describe; 0 when the file ends within them.
  std::uint64_t needed;
};

class PeImage {
public:
  // Throws NotAProgram; a failed read, platform::SystemError.
  static PeImage Read(platform::File &file);

  bool Is64Bit() const { return is64Bit_; }
  std::uint64_t FileSize() const { return fileSize_; }
  std::uint32_t FileAlignment() const { return Field32(kFileAlignment); }
  std::uint32_t SectionAlignment() const { return Field32(kSectionAlignment); }
  std::uint32_t SizeOfHeaders() const { return Field32(kSizeOfHeaders); }
  const std::vector<Section> &Sections() const { return sections_; }
  std::uint32_t DirectoryCount() const { return directoryCount_; }
  DataDirectory Directory(std::uint32_t index) const;
  // The end of the last section's raw data in the file.
  std::uint64_t EndOfSections() const;
  // The file offset of the optional header's CheckSum field.
  std::size_t CheckSumOffset() const { return optional_ + kCheckSum; }
  // The file offset of a data directory's entry.
  std::size_t DirectoryEntryOffset(std::uint32_t index) const { return directories_ + 8 * index; }

  // The headers with the given sections, directories and sizes; the
  // checksum left zero, to be computed over the whole file.
  Bytes
  RewrittenHeaders(const std::vector<Section> &sections,
                   const std::vector<std::pair<std::uint32_t, DataDirectory>> &directories) const;

private:
  // Offsets in the optional header, the same in PE32 and PE32+.
  enum : std::size_t {
    kSizeOfInitializedData = 8,
    kSectionAlignment = 32,
    kFileAlignment = 36,
    kSizeOfImage = 56,
    kSizeOfHeaders = 60,
    kCheckSum = 64,
  };
  std::uint32_t Field32(std::size_t offset) const { return Le32(&headers_[optional_ + offset]); }

  Bytes headers_;
  bool is64Bit_ = false;
  std::uint64_t fileSize_ = 0;
  std::size_t optional_ = 0;
  std::size_t directories_ = 0;
  std::uint32_t directoryCount_ = 0;
  std::size_t sectionTable_ = 0;
  std::vector<Section> sections_;
};
