#include "builder/pe/PeImage.h"

#include "builder/platform/Platform.h"

#include <algorithm>

namespace {

constexpr std::uint16_t kMachineI386 = 0x14C;
constexpr std::uint16_t kMachineAmd64 = 0x8664;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::size_t kSectionHeaderSize = 40;

} // namespace

PeImage PeImage::Read(platform::File &file) {
  PeImage image;
  image.fileSize_ = file.Size();
  const auto notAProgram = [&](const std::string &why) {
    return NotAProgram(NotAProgram::Kind::NotPe, why);
  };
  // What lies past the end of a shorter file was cut off, not never there.
  const auto beyond = [&](std::uint64_t end, const std::string &why) {
    return NotAProgram(
        end > image.fileSize_ ? NotAProgram::Kind::CutShort : NotAProgram::Kind::NotPe, why);
  };
  // Enough for the DOS header and the headers of any program ld links.
  Bytes start(static_cast<std::size_t>(std::min<std::uint64_t>(image.fileSize_, 64 * 1024)));
  file.ReadAt(0, start.data(), start.size());
  if (start.size() < 2 || start[0] != 'M' || start[1] != 'Z')
    throw notAProgram("it does not start as one");
  if (start.size() < 0x40)
    throw beyond(0x40, "it has no PE header");
  // Offsets from the file are summed in 64 bits, which no sum of 32-bit
  // fields can wrap, and checked against the bytes read before they index
  // them.
  const std::uint64_t pe = Le32(&start[0x3C]);
  if (pe + 24 > start.size())
    throw beyond(pe + 24, "it has no PE header");
  const auto at = [&](std::uint64_t offset) { return &start[static_cast<std::size_t>(offset)]; };
  if (Le32(at(pe)) != 0x00004550)
    throw notAProgram("it has no PE header");
  const std::uint16_t machine = Le16(at(pe + 4));
  const std::uint16_t sectionCount = Le16(at(pe + 6));
  const std::uint64_t optional = pe + 24;
  if (optional + 2 > start.size())
    throw beyond(optional + 2, "its optional header is cut short");
  const std::uint16_t magic = Le16(at(optional));
  if (magic == kMagicPe32 && machine == kMachineI386)
    image.is64Bit_ = false;
  else if (magic == kMagicPe32Plus && machine == kMachineAmd64)
    image.is64Bit_ = true;
  else
    throw NotAProgram(NotAProgram::Kind::OtherMachine,
                      "it is neither a 32-bit x86 nor a 64-bit x64 program");
  const std::uint64_t directories = optional + (image.is64Bit_ ? 112 : 96);
  const std::uint64_t sectionTable = optional + Le16(at(pe + 20));
  if (directories + 8 * kBaseRelocationDirectory + 8 > sectionTable)
    throw notAProgram("its optional header is cut short");
  const std::uint64_t headersEnd = sectionTable + kSectionHeaderSize * sectionCount;
  if (headersEnd > start.size())
    throw beyond(headersEnd, "its section table is cut short");
  // All within the 64 KiB read: they fit a size_t on any host.
  image.optional_ = static_cast<std::size_t>(optional);
  image.directories_ = static_cast<std::size_t>(directories);
  image.sectionTable_ = static_cast<std::size_t>(sectionTable);
  image.directoryCount_ =
      std::min<std::uint32_t>(Le32(at(optional + (image.is64Bit_ ? 108 : 92))),
                              static_cast<std::uint32_t>((sectionTable - directories) / 8));
  const std::uint32_t sizeOfHeaders = Le32(at(optional + kSizeOfHeaders));
  if (sizeOfHeaders < headersEnd || sizeOfHeaders > start.size())
    throw beyond(sizeOfHeaders, "its SizeOfHeaders does not cover its headers");
  image.headers_.assign(start.begin(), start.begin() + sizeOfHeaders);
  for (std::size_t i = 0; i < sectionCount; ++i) {
    const std::uint8_t *header = &image.headers_[image.sectionTable_ + kSectionHeaderSize * i];
    Section section;
    section.name.assign(reinterpret_cast<const char *>(header),
                        std::find(header, header + 8, 0) - header);
    section.virtualSize = Le32(header + 8);
    section.virtualAddress = Le32(header + 12);
    section.sizeOfRawData = Le32(header + 16);
    section.pointerToRawData = Le32(header + 20);
    section.characteristics = Le32(header + 36);
    image.sections_.push_back(section);
  }
  if (image.EndOfSections() > image.fileSize_)
    throw NotAProgram(NotAProgram::Kind::CutShort, "its sections run past the end of the file",
                      image.EndOfSections());
  return image;
}

DataDirectory PeImage::Directory(std::uint32_t index) const {
  if (index >= directoryCount_)
    return {0, 0};
  return {Le32(&headers_[directories_ + 8 * index]), Le32(&headers_[directories_ + 8 * index + 4])};
}

std::uint64_t PeImage::EndOfSections() const {
  std::uint64_t end = SizeOfHeaders();
  for (const auto &section : sections_)
    if (section.sizeOfRawData)
      end = std::max(end, std::uint64_t(section.pointerToRawData) + section.sizeOfRawData);
  return end;
}

Bytes PeImage::RewrittenHeaders(
    const std::vector<Section> &sections,
    const std::vector<std::pair<std::uint32_t, DataDirectory>> &directories) const {
  Bytes headers = headers_;
  std::uint64_t initializedData = 0;
  std::uint64_t imageEnd = 0;
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const Section &section = sections[i];
    std::uint8_t *header = &headers[sectionTable_ + kSectionHeaderSize * i];
    PutLe32(header + 8, section.virtualSize);
    PutLe32(header + 12, section.virtualAddress);
    PutLe32(header + 16, section.sizeOfRawData);
    PutLe32(header + 20, section.pointerToRawData);
    PutLe32(header + 36, section.characteristics);
    if (section.characteristics & kScnCntInitializedData)
      initializedData += section.sizeOfRawData;
    imageEnd = std::max(imageEnd, std::uint64_t(section.virtualAddress) +
                                      std::max(section.virtualSize, section.sizeOfRawData));
  }
  for (const auto &[index, directory] : directories) {
    PutLe32(&headers[directories_ + 8 * index], directory.virtualAddress);
    PutLe32(&headers[directories_ + 8 * index + 4], directory.size);
  }
  PutLe32(&headers[optional_ + kSizeOfInitializedData],
          static_cast<std::uint32_t>(initializedData));
  PutLe32(&headers[optional_ + kSizeOfImage],
          static_cast<std::uint32_t>(AlignUp<std::uint64_t>(imageEnd, SectionAlignment())));
  PutLe32(&headers[optional_ + kCheckSum], 0);
  return headers;
}
