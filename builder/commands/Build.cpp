#include "builder/commands/Build.h"

#include "builder/base/Refusal.h"
#include "builder/base/Sha256.h"
#include "builder/commands/BuildPaths.h"
#include "builder/commands/Output.h"
#include "builder/package/Icon.h"
#include "builder/package/PackageFolder.h"
#include "builder/package/PayloadCeilings.h"
#include "builder/pe/Manifest.h"
#include "builder/pe/PeChecksum.h"
#include "builder/pe/PeImage.h"
#include "builder/pe/ResourceTree.h"
#include "builder/pe/StubMarker.h"
#include "builder/pe/VersionRecord.h"
#include "builder/platform/Platform.h"
#include "package/Crc32c.h"
#include "resources/PackageFormat.h"

#include <algorithm>
#include <array>
#include <functional>

namespace {

// The resource section starts on a page boundary in the file, as it does
// in memory: only then does Wine map the payload from the file instead of
// copying it into the process's private memory.
constexpr std::uint32_t kPage = 4096;
constexpr std::uint32_t kReadOnlyData = kScnCntInitializedData | kScnMemRead;
using package_format::kChunkBytes;

// Everything written goes into the checksum on its way to the file.
class ImageSink : public Sink {
public:
  explicit ImageSink(Output &output) : output_(output) {}
  void Write(const std::uint8_t *data, std::size_t size) override {
    output_.Write(data, size);
    checksum_.Add(data, size);
    position_ += size;
  }
  void ZerosUpTo(std::uint64_t offset) {
    static const std::uint8_t zeros[kPage] = {};
    while (position_ < offset)
      Write(zeros, static_cast<std::size_t>(std::min<std::uint64_t>(offset - position_, kPage)));
  }
  std::uint64_t Position() const { return position_; }
  std::uint32_t Checksum() const { return checksum_.Finish(); }

private:
  Output &output_;
  PeChecksum checksum_;
  std::uint64_t position_ = 0;
};

// What the wizard and makewizard show check a payload file against.
struct PayloadSums {
  Digest sha256;
  std::uint32_t crc32c;
};
using PackageSums = std::array<PayloadSums, package_format::kItemCount>;
static_assert(sizeof(Digest) == package_format::kDigestBytes);

// A payload file, read once in chunks as it is written, its sums taken on
// the way.
class PayloadSource : public DataSource {
public:
  PayloadSource(const PayloadFile &file, PayloadSums &sums) : file_(file), sums_(sums) {}
  void WriteTo(Sink &sink) override {
    std::optional<platform::File> file;
    try {
      file.emplace(platform::File::OpenRead(file_.path));
    } catch (const platform::SystemError &error) {
      throw Refusal(CannotRead(file_.path, error.what()));
    }
    Bytes chunk(kChunkBytes);
    Sha256 sha256;
    Crc32c crc32c;
    std::uint64_t done = 0;
    for (;;) {
      std::size_t got;
      try {
        got = file->Read(chunk.data(), chunk.size());
      } catch (const platform::SystemError &error) {
        throw Refusal(CannotRead(file_.path, error.what()));
      }
      if (!got)
        break;
      if (done + got > file_.size)
        break;
      sha256.Add(chunk.data(), got);
      crc32c.Add(chunk.data(), got);
      sink.Write(chunk.data(), got);
      done += got;
    }
    if (done != file_.size || file->Read(chunk.data(), 1) != 0)
      throw Refusal(file_.path +
                    " changed while makewizard read it: build again when nothing writes to it.");
    sums_ = {sha256.Finish(), crc32c.Value()};
  }

private:
  PayloadFile file_;
  PayloadSums &sums_;
};

// Bytes known only once the resources before them have been written (the
// payload's digests and checksums, taken as its files were read).
class LaterBytesSource : public DataSource {
public:
  explicit LaterBytesSource(std::function<Bytes()> make) : make_(std::move(make)) {}
  void WriteTo(Sink &sink) override {
    const Bytes bytes = make_();
    sink.Write(bytes.data(), bytes.size());
  }

private:
  std::function<Bytes()> make_;
};

// Where the stub's resource section and its relocations are.
struct StubLayout {
  std::size_t resources;
  std::optional<std::size_t> relocations;
};

StubLayout CheckStub(const PeImage &image, const std::string &path) {
  const auto notAStub = [&](const std::string &why) {
    return Refusal(path + " is not laid out as a wizard stub (" + why + "): " + kGetStub);
  };
  if (image.Directory(kSecurityDirectory).size)
    throw Refusal(path +
                  " is signed: its signature would not cover the package. Build from the unsigned "
                  "wizard-stub.exe and sign the wizard makewizard writes.");
  if (image.FileSize() > image.EndOfSections())
    throw Refusal(path + " has " + std::to_string(image.FileSize() - image.EndOfSections()) +
                  " bytes after its last section, which makewizard would not keep: " + kGetStub);
  if (image.DirectoryCount() <= kBaseRelocationDirectory)
    throw notAStub("its optional header lacks data directories");
  if (image.SectionAlignment() != kPage || image.FileAlignment() < 512 ||
      image.FileAlignment() > kPage || kPage % image.FileAlignment())
    throw notAStub(
        "its sections are not aligned to pages in memory and to 512 to 4096 bytes in the file");
  const auto &sections = image.Sections();
  const DataDirectory resources = image.Directory(kResourceDirectory);
  std::optional<std::size_t> rsrc;
  for (std::size_t i = 0; i < sections.size(); ++i)
    if (resources.size && sections[i].virtualAddress == resources.virtualAddress)
      rsrc = i;
  if (!rsrc)
    throw notAStub("it has no resource section");
  StubLayout layout{*rsrc, std::nullopt};
  if (*rsrc + 2 < sections.size() ||
      (*rsrc + 2 == sections.size() && sections.back().name != ".reloc"))
    throw notAStub("its resource section is followed by more than .reloc");
  const Section &resourceSection = sections[*rsrc];
  // The new headers are written over the stub's, and the new resources
  // from there on.
  if (resourceSection.pointerToRawData < image.SizeOfHeaders())
    throw notAStub("its resource section starts inside its headers");
  if (resourceSection.pointerToRawData > image.FileSize())
    throw notAStub("its resource section lies outside the file");
  if (*rsrc + 1 < sections.size()) {
    layout.relocations = *rsrc + 1;
    const Section &reloc = sections.back();
    const DataDirectory relocations = image.Directory(kBaseRelocationDirectory);
    if (relocations.virtualAddress < reloc.virtualAddress ||
        std::uint64_t(relocations.virtualAddress) + relocations.size >
            std::uint64_t(reloc.virtualAddress) + reloc.virtualSize ||
        reloc.pointerToRawData <
            std::uint64_t(resourceSection.pointerToRawData) + resourceSection.sizeOfRawData)
      throw notAStub(".reloc does not hold the relocations after the resources");
  } else if (image.Directory(kBaseRelocationDirectory).size) {
    throw notAStub("its relocations lie outside .reloc");
  }
  for (std::size_t i = 0; i < *rsrc; ++i)
    if (sections[i].virtualAddress >= resourceSection.virtualAddress ||
        (sections[i].sizeOfRawData &&
         std::uint64_t(sections[i].pointerToRawData) + sections[i].sizeOfRawData >
             resourceSection.pointerToRawData))
      throw notAStub("section " + sections[i].name + " lies after its resources");
  for (std::uint32_t index = 0; index < image.DirectoryCount(); ++index) {
    const DataDirectory directory = image.Directory(index);
    if (index == kResourceDirectory || index == kSecurityDirectory ||
        index == kBaseRelocationDirectory || !directory.size)
      continue;
    if (std::uint64_t(directory.virtualAddress) + directory.size > resourceSection.virtualAddress)
      throw notAStub("data directory " + std::to_string(index) + " lies in or after its resources");
  }
  return layout;
}

const ResourceId kRcData = ResourceId::Ordinal(PACKAGE_RESOURCE_TYPE);

void CheckMarker(const ResourceTree &tree, const std::string &path) {
  const StubMarker marker = ReadStubMarker(tree);
  switch (marker.state) {
  case StubMarker::State::Absent:
    throw Refusal(
        path +
        " is not a wizard stub (it carries no " WIZARD_STUB_MARKER_NAME " marker): " + kGetStub);
  case StubMarker::State::Known:
    if (marker.format == WIZARD_STUB_FORMAT)
      return;
    throw Refusal(path + " is a wizard stub of format " + std::to_string(marker.format) +
                  ", but this makewizard builds from format " + std::to_string(WIZARD_STUB_FORMAT) +
                  " only: use the makewizard that came with that stub.");
  case StubMarker::State::Unreadable:
    break;
  }
  throw Refusal(
      path + " carries a " WIZARD_STUB_MARKER_NAME " marker makewizard cannot read: " + kGetStub);
}

// A stub carries none of what makewizard adds: a built wizard is not
// built again.
void CheckNothingToReplace(const ResourceTree &tree, const std::string &path) {
  std::vector<std::pair<ResourceId, ResourceId>> added;
  for (const auto &item : package_format::kItems)
    added.emplace_back(kRcData, ResourceId::Named(item.resourceName));
  const std::pair<ResourceId, ResourceId> others[] = {
      {kRcData, ResourceId::Named(PACKAGE_SHA256_RESOURCE)},
      {kRcData, ResourceId::Named(PACKAGE_CRC32C_RESOURCE)},
      {kRcData, ResourceId::Ordinal(PACKAGE_AGREEMENT_ID)},
      {ResourceId::Ordinal(kRtGroupIcon), ResourceId::Ordinal(PACKAGE_ICON_GROUP_ID)},
      {ResourceId::Ordinal(kRtVersion), ResourceId::Ordinal(1)},
      {ResourceId::Ordinal(kRtManifest), ResourceId::Ordinal(1)}};
  added.insert(added.end(), std::begin(others), std::end(others));
  for (const auto &[type, name] : added)
    if (tree.Find(type, name))
      throw Refusal(
          path + " already carries resource " + name.Text() + " of type " + type.Text() +
          ", which makewizard adds from the package (is it a built wizard?): " + kGetStub);
  if (tree.HasType(ResourceId::Ordinal(kRtIcon)))
    throw Refusal(
        path +
        " already carries icon images, which makewizard adds from the package (is it a built "
        "wizard?): " +
        kGetStub);
}

void AddPackage(ResourceTree &tree, const Package &package, const BuildRequest &request,
                bool for64BitStub, PackageSums &sums) {
  const ResourceId english = ResourceId::Ordinal(kLanguageEnglishUs);
  const auto bytes = [](Bytes content) {
    ResourceData data;
    data.size = static_cast<std::uint32_t>(content.size());
    data.source = std::make_shared<BytesSource>(std::move(content));
    return data;
  };
  const auto text = [&](const std::string &content) {
    return bytes(Bytes(content.begin(), content.end()));
  };
  // Small resources first, then the payload, then its digests: they are
  // known only once the files have been read.
  for (std::size_t i = 0; i < package.icon.size(); ++i)
    tree.Add(ResourceId::Ordinal(kRtIcon), ResourceId::Ordinal(static_cast<std::uint32_t>(1 + i)),
             english, bytes(package.icon[i].data));
  tree.Add(ResourceId::Ordinal(kRtGroupIcon), ResourceId::Ordinal(PACKAGE_ICON_GROUP_ID), english,
           bytes(IconGroup(package.icon, 1)));
  tree.Add(kRcData, ResourceId::Ordinal(PACKAGE_AGREEMENT_ID), english, text(package.agreement));
  tree.Add(ResourceId::Ordinal(kRtVersion), ResourceId::Ordinal(1), english,
           bytes(VersionRecord(package.companyName, package.legalCopyright)));
  tree.Add(ResourceId::Ordinal(kRtManifest), ResourceId::Ordinal(1), english,
           text(Manifest(package.identityName, request.executionLevel, for64BitStub)));
  for (std::size_t i = 0; i < package.payload.size(); ++i) {
    ResourceData data;
    data.size = static_cast<std::uint32_t>(package.payload[i].size);
    data.source = std::make_shared<PayloadSource>(package.payload[i], sums[i]);
    tree.Add(kRcData, ResourceId::Named(package_format::kItems[i].resourceName), english,
             std::move(data));
  }
  const auto later = [&](const char *name, std::size_t size, std::function<Bytes()> make) {
    ResourceData data;
    data.size = static_cast<std::uint32_t>(size);
    data.source = std::make_shared<LaterBytesSource>(std::move(make));
    tree.Add(kRcData, ResourceId::Named(name), english, std::move(data));
  };
  later(PACKAGE_SHA256_RESOURCE, package_format::kDigestsBytes, [&sums] {
    Bytes digests;
    for (const PayloadSums &item : sums)
      digests.insert(digests.end(), item.sha256.begin(), item.sha256.end());
    return digests;
  });
  later(PACKAGE_CRC32C_RESOURCE, package_format::kChecksumsBytes, [&sums] {
    Bytes checksums;
    for (const PayloadSums &item : sums)
      Append32(checksums, item.crc32c);
    return checksums;
  });
}

// Copies [from, to) of the stub.
void CopyStub(platform::File &stub, std::uint64_t from, std::uint64_t to, ImageSink &sink) {
  Bytes chunk(kChunkBytes);
  while (from < to) {
    const std::size_t piece =
        static_cast<std::size_t>(std::min<std::uint64_t>(to - from, chunk.size()));
    stub.ReadAt(from, chunk.data(), piece);
    sink.Write(chunk.data(), piece);
    from += piece;
  }
}

} // namespace

BuiltWizard BuildWizard(const BuildRequest &request) {
  const std::string stubPath = platform::AbsolutePath(request.stub);
  const std::string folder = platform::AbsolutePath(request.packageDir);
  const std::string outputPath = platform::AbsolutePath(request.output);
  CheckPathKinds(stubPath, folder, outputPath);

  std::optional<platform::File> stub;
  try {
    stub.emplace(platform::File::OpenRead(stubPath));
  } catch (const platform::SystemError &error) {
    throw Refusal(CannotRead(stubPath, error.what()));
  }
  try {
    std::optional<PeImage> read;
    try {
      read.emplace(PeImage::Read(*stub));
    } catch (const NotAProgram &error) {
      throw Refusal(stubPath + " is not a Windows program (" + error.what() + "): " + kGetStub);
    }
    const PeImage &image = *read;
    const StubLayout stubLayout = CheckStub(image, stubPath);
    const Section &oldResources = image.Sections()[stubLayout.resources];
    std::optional<ResourceTree> readTree;
    try {
      readTree.emplace(ResourceTree::Read(*stub, oldResources,
                                          image.Directory(kResourceDirectory).virtualAddress));
    } catch (const ResourceTree::Damaged &error) {
      throw Refusal(stubPath + " has a damaged resource directory (" + error.what() +
                    "): " + kGetStub);
    }
    ResourceTree &tree = *readTree;
    CheckMarker(tree, stubPath);
    CheckNothingToReplace(tree, stubPath);

    PayloadCeiling ceiling{kPe32CeilingMiB,
                           request.cmakeBuild
                               ? "configure with -DWIZARD_PACKAGE_FOR_64BIT_WINDOWS_ONLY=ON"
                               : "build with --for-64bit-windows-only",
                           kPe32For64BitWindowsCeilingMiB};
    if (image.Is64Bit())
      ceiling = {kPe32PlusCeilingMiB, {}};
    else if (request.for64BitWindowsOnly)
      ceiling = {kPe32For64BitWindowsCeilingMiB, {}};
    const Package package = ReadPackageFolder(folder, ceiling);
    CheckOutput(outputPath, stubPath, package.inputs, request.overwrite);

    PackageSums sums{};
    AddPackage(tree, package, request, image.Is64Bit(), sums);

    // The stub's sections stay where they are up to its resources; the new
    // resource section starts on the next page in the file, read-only, and
    // .reloc follows it.
    std::vector<Section> sections = image.Sections();
    Section &resources = sections[stubLayout.resources];
    const std::string tooLarge =
        "The files of the package in " + folder +
        " make a wizard of 2 GiB or more, which Windows cannot load: make its files smaller.";
    std::optional<ResourceTree::Layout> laid;
    try {
      laid.emplace(tree.Lay(resources.virtualAddress));
    } catch (const std::length_error &) {
      // The stub's own resources may come to much, too.
      throw Refusal(tooLarge);
    }
    const ResourceTree::Layout &layout = *laid;
    // Addresses, offsets and sizes aligned and summed in 64 bits, and
    // checked before they are stored in the headers' 32-bit fields.
    const std::uint64_t resourcesAt = AlignUp<std::uint64_t>(oldResources.pointerToRawData, kPage);
    const std::uint64_t resourcesRaw = AlignUp<std::uint64_t>(layout.size, image.FileAlignment());
    std::uint64_t imageEnd = std::uint64_t(resources.virtualAddress) + layout.size;
    std::uint64_t fileEnd = resourcesAt + resourcesRaw;
    std::uint64_t relocationsAt = 0;
    if (stubLayout.relocations) {
      relocationsAt = AlignUp<std::uint64_t>(imageEnd, image.SectionAlignment());
      imageEnd = relocationsAt + image.Sections()[*stubLayout.relocations].virtualSize;
      fileEnd += image.Sections()[*stubLayout.relocations].sizeOfRawData;
    }
    // PE32+ images too are limited to 2 GiB.
    if (imageEnd >= 0x80000000u || fileEnd >= 0x80000000u)
      throw Refusal(tooLarge);
    resources.pointerToRawData = static_cast<std::uint32_t>(resourcesAt);
    resources.virtualSize = layout.size;
    resources.sizeOfRawData = static_cast<std::uint32_t>(resourcesRaw);
    resources.characteristics = kReadOnlyData;
    std::vector<std::pair<std::uint32_t, DataDirectory>> directories = {
        {kResourceDirectory, {resources.virtualAddress, layout.size}}};
    if (stubLayout.relocations) {
      Section &relocations = sections[*stubLayout.relocations];
      const Section &old = image.Sections()[*stubLayout.relocations];
      relocations.virtualAddress = static_cast<std::uint32_t>(relocationsAt);
      relocations.pointerToRawData = resources.pointerToRawData + resources.sizeOfRawData;
      const DataDirectory oldDirectory = image.Directory(kBaseRelocationDirectory);
      directories.push_back(
          {kBaseRelocationDirectory,
           {relocations.virtualAddress + (oldDirectory.virtualAddress - old.virtualAddress),
            oldDirectory.size}});
    }
    const Bytes headers = image.RewrittenHeaders(sections, directories);

    Output output(
        outputPath,
        [&](const platform::SystemError &error) {
          const std::string folder = platform::ParentFolder(outputPath);
          return Refusal("makewizard could not write the wizard " + outputPath + " (" +
                         error.what() + "); nothing was written under that name. " +
                         (error.diskFull
                              ? "Free some space on the disk of " + folder + " and build again."
                              : "Check that you may write to " + folder + " and build again."));
        },
        request.overwrite ? Output::Existing::Replace : Output::Existing::Keep);
    ImageSink sink(output);
    sink.Write(headers.data(), headers.size());
    CopyStub(*stub, headers.size(), oldResources.pointerToRawData, sink);
    sink.ZerosUpTo(resources.pointerToRawData);
    sink.Write(layout.directory.data(), layout.directory.size());
    for (std::size_t i = 0; i < tree.Data().size(); ++i) {
      const std::uint64_t start = std::uint64_t(resources.pointerToRawData) + layout.dataOffsets[i];
      sink.ZerosUpTo(start);
      tree.Data()[i].source->WriteTo(sink);
      if (sink.Position() != start + tree.Data()[i].size)
        throw std::logic_error("a resource wrote a size other than its own");
    }
    sink.ZerosUpTo(std::uint64_t(resources.pointerToRawData) + resources.sizeOfRawData);
    if (stubLayout.relocations) {
      const Section &old = image.Sections()[*stubLayout.relocations];
      CopyStub(*stub, old.pointerToRawData, std::uint64_t(old.pointerToRawData) + old.sizeOfRawData,
               sink);
    }
    std::uint8_t checksum[4];
    PutLe32(checksum, sink.Checksum());
    output.WriteAt(image.CheckSumOffset(), checksum, sizeof checksum);
    BuiltWizard built{outputPath, sink.Position(), {}};
    output.Commit(&built.digest);
    return built;
  } catch (const platform::SystemError &error) {
    throw Refusal(CannotRead(stubPath, error.what()));
  }
}
