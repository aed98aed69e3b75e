#include "builder/commands/WizardReader.h"

#include "builder/base/Refusal.h"
#include "builder/base/TextRules.h"
#include "builder/base/Utf.h"
#include "builder/package/Agreement.h"
#include "builder/package/PackageFolder.h"
#include "builder/pe/Manifest.h"
#include "builder/pe/PeImage.h"
#include "builder/pe/StubMarker.h"
#include "builder/platform/Platform.h"
#include "package/Crc32c.h"
#include "resources/PackageFormat.h"

#include <algorithm>
#include <cstdio>

namespace {

// What show reads into memory, each far above what a wizard carries, so
// that a damaged or hostile one costs a few MiB at most: a larger one is
// not read (and shown as none). The builder writes a version record and a
// manifest of about 1 KB (a version record's lengths are 16-bit: none is
// larger than 64 KiB), 14 bytes of icon directory an image, an agreement of
// at most 2 MiB (1 MiB read, each line end made CR LF); a certificate table
// holds a chain and a time stamp of some 10 KB.
constexpr std::uint32_t kMostVersionBytes = 64 * 1024;
constexpr std::uint32_t kMostManifestBytes = 64 * 1024;
constexpr std::uint32_t kMostIconGroupBytes = 64 * 1024;
constexpr auto kMostAgreementBytes = static_cast<std::uint32_t>(kMostStoredAgreementBytes);
constexpr std::uint32_t kMostCertificateBytes = 1u << 20;

// "the text \"SAMPLE SOFTWARE…\"" or "the bytes 7F 45 4C 46 …".
std::string Beginning(platform::File &file, std::uint64_t size) {
  Bytes start(static_cast<std::size_t>(std::min<std::uint64_t>(size, 24)));
  file.ReadAt(0, start.data(), start.size());
  std::string text(start.begin(), start.end());
  // A character cut by the 24 bytes is not a fault of the file.
  while (Utf8Error(text) && text.size() > start.size() - 3 && !text.empty())
    text.pop_back();
  // Text only when a terminal would show all of it as it is (C1 controls and
  // bidirectional overrides are UTF-8 too).
  const std::u32string characters = DecodeUtf8(text);
  const bool printable = !text.empty() && !Utf8Error(text) &&
                         std::none_of(characters.begin(), characters.end(), [](char32_t c) {
                           return IsInvisible(c) && c != U'\t' && c != U'\r' && c != U'\n';
                         });
  const std::string more = size > text.size() ? "…" : "";
  if (printable) {
    std::string shown;
    for (const char c : text)
      shown += c == '\t'   ? "\\t"
               : c == '\r' ? "\\r"
               : c == '\n' ? "\\n"
               : c == '"'  ? "\\\""
                           : std::string(1, c);
    return "the text \"" + shown + more + "\"";
  }
  std::string bytes;
  for (std::size_t i = 0; i < std::min<std::size_t>(start.size(), 8); ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", start[i]);
    bytes += (i ? " " : "") + std::string(hex);
  }
  return "the bytes " + bytes + (size > 8 ? " …" : "");
}

NotAWizard CutShort(const std::string &path, std::uint64_t size, std::uint64_t needed) {
  return NotAWizard(
      path + " is cut short: " +
          (needed ? "it holds " + WithThousands(size) + " of the " + WithThousands(needed) +
                        " bytes its headers describe"
                  : "it ends after " + WithThousands(size) + " bytes, within its headers") +
          ". " + kGetAgain,
      true);
}

PeImage ReadImage(platform::File &file, const std::string &shown) {
  const std::uint64_t size = file.Size();
  if (size == 0)
    throw NotAWizard(shown + " is empty.");
  try {
    return PeImage::Read(file);
  } catch (const NotAProgram &error) {
    switch (error.kind) {
    case NotAProgram::Kind::CutShort:
      throw CutShort(shown, size, error.needed);
    case NotAProgram::Kind::OtherMachine:
      throw NotAWizard(
          shown + " is a Windows program for another processor, not a wizard made by makewizard.");
    case NotAProgram::Kind::NotPe:
      break;
    }
    Bytes start(2);
    file.ReadAt(0, start.data(), std::min<std::size_t>(2, static_cast<std::size_t>(size)));
    if (start[0] != 'M' || start[1] != 'Z')
      throw NotAWizard(shown + " is not a Windows program (it starts with " +
                       Beginning(file, size) + ").");
    throw NotAWizard(shown + " is not a Windows program (" + error.what() + ").");
  }
}

// The data of one resource as Windows finds it, where the loader looks
// for an ordinal or a name of the given type.
std::optional<ResourceData> Find(const ResourceTree &tree, std::uint32_t type,
                                 const ResourceId &name) {
  const ResourceData *data = tree.Find(ResourceId::Ordinal(type), name);
  return data ? std::optional<ResourceData>(*data) : std::nullopt;
}

std::optional<Bytes> Fact(const ResourceTree &tree, std::uint32_t type, std::uint32_t id,
                          std::uint32_t most) {
  const auto data = Find(tree, type, ResourceId::Ordinal(id));
  if (!data || data->size > most)
    return std::nullopt;
  return Contents(*data);
}

class HashingSink : public Sink {
public:
  explicit HashingSink(Sink *next) : next_(next) {}
  void Write(const std::uint8_t *data, std::size_t size) override {
    sha256_.Add(data, size);
    crc32c_.Add(data, size);
    if (next_)
      next_->Write(data, size);
  }
  ItemSums Finish() { return {sha256_.Finish(), crc32c_.Value()}; }

private:
  Sha256 sha256_;
  Crc32c crc32c_;
  Sink *next_;
};

// The stored sums of every item, `width` bytes each; empty with `problem`
// set when they cannot be used.
std::optional<Bytes> StoredSums(const std::optional<ResourceData> &stored, std::size_t count,
                                std::size_t width, const char *what, std::string &problem) {
  if (!stored) {
    problem = std::string("the wizard carries no ") + what + " to check it against";
    return std::nullopt;
  }
  if (stored->size != count * width) {
    problem = std::string("the wizard's ") + what + " are " + std::to_string(stored->size) +
              " bytes instead of " + std::to_string(count * width);
    return std::nullopt;
  }
  return Contents(*stored);
}

std::string Hex32(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

} // namespace

Wizard Wizard::Open(const std::string &path) {
  // A downloaded file's name may hold anything.
  const std::string shown = platform::Shown(path);
  std::string reason;
  switch (platform::KindOf(path, &reason)) {
  case platform::Kind::Missing:
    throw NotAWizard(shown + " does not exist: name the wizard's .exe file.");
  case platform::Kind::Unknown:
    throw NotAWizard(CannotReach(shown, reason));
  case platform::Kind::Folder:
    throw NotAWizard(shown + " is a folder: name the wizard's .exe file.");
  default:
    break;
  }
  Wizard wizard;
  wizard.path = path;
  wizard.file_ = std::make_shared<platform::File>(platform::File::OpenRead(path));
  platform::File &file = *wizard.file_;
  const PeImage image = ReadImage(file, shown);
  wizard.is64Bit = image.Is64Bit();

  // The certificate table lies after the sections, at a file offset.
  const DataDirectory certificates = image.Directory(kSecurityDirectory);
  if (certificates.size) {
    if (std::uint64_t(certificates.virtualAddress) + certificates.size > image.FileSize())
      throw CutShort(shown, image.FileSize(),
                     std::uint64_t(certificates.virtualAddress) + certificates.size);
    if (certificates.size > kMostCertificateBytes) {
      wizard.signature.state = Signature::State::Unreadable;
      wizard.signature.problem = "its certificate table is too large";
    } else {
      Bytes table(certificates.size);
      file.ReadAt(certificates.virtualAddress, table.data(), table.size());
      wizard.signature = ReadSignature(table);
    }
  }

  const std::string notAWizard =
      shown + " is a Windows program but not a wizard made by makewizard.";
  const DataDirectory resources = image.Directory(kResourceDirectory);
  const auto &sections = image.Sections();
  const auto section = std::find_if(sections.begin(), sections.end(), [&](const Section &s) {
    return resources.virtualAddress >= s.virtualAddress &&
           resources.virtualAddress - s.virtualAddress < std::min(s.virtualSize, s.sizeOfRawData);
  });
  if (!resources.size || section == sections.end())
    throw NotAWizard(notAWizard);
  std::optional<ResourceTree> read;
  try {
    read.emplace(ResourceTree::Read(file, *section, resources.virtualAddress));
  } catch (const ResourceTree::Damaged &error) {
    throw NotAWizard(shown + " is a Windows program with a damaged resource directory (" +
                         error.what() + "). " + kGetAgain,
                     true);
  }
  const ResourceTree &tree = *read;
  // The wizard takes each package resource in the user's interface language
  // and this reader the first: with two, they would see other bytes.
  std::vector<const char *> packageResources{PACKAGE_SHA256_RESOURCE, PACKAGE_CRC32C_RESOURCE};
  for (const auto &item : package_format::kItems)
    packageResources.push_back(item.resourceName);
  for (const char *name : packageResources)
    if (const std::size_t languages =
            tree.LanguageCount(ResourceId::Ordinal(PACKAGE_RESOURCE_TYPE), ResourceId::Named(name));
        languages > 1)
      throw NotAWizard(shown + " is a damaged wizard: it holds the package resource " +
                           std::string(name) + " in " + std::to_string(languages) +
                           " languages, and Windows would give each user the one of their own "
                           "language. " +
                           kGetAgain,
                       true);

  bool anyOfThePackage = false, wholePayload = true;
  for (const auto &item : package_format::kItems) {
    const auto data = Find(tree, PACKAGE_RESOURCE_TYPE, ResourceId::Named(item.resourceName));
    wizard.items.push_back({item.fileName, data});
    anyOfThePackage = anyOfThePackage || data;
    wholePayload = wholePayload && data;
  }
  const auto digests =
      Find(tree, PACKAGE_RESOURCE_TYPE, ResourceId::Named(PACKAGE_SHA256_RESOURCE));
  anyOfThePackage = anyOfThePackage || digests;

  const StubMarker marker = ReadStubMarker(tree);
  switch (marker.state) {
  case StubMarker::State::Absent:
    // Wizards linked by the CMake build before makewizard carry the same
    // package without a marker.
    if (!wholePayload)
      throw NotAWizard(notAWizard);
    break;
  case StubMarker::State::Unreadable:
    throw NotAWizard(shown +
                     " carries a " WIZARD_STUB_MARKER_NAME
                     " marker this makewizard cannot read: it was made by another makewizard.");
  case StubMarker::State::Known:
    if (!anyOfThePackage)
      throw NotAWizard(
          shown + " is a wizard stub without a package: makewizard build makes a wizard of it and "
                  "a package folder.");
    // Every earlier format carries what show and extract check.
    if (marker.format < 1 || marker.format > WIZARD_STUB_FORMAT)
      throw NotAWizard(shown + " is a wizard made by makewizard " + std::to_string(marker.format) +
                       ", this is makewizard " + std::to_string(WIZARD_STUB_FORMAT) +
                       ": look inside it with makewizard " + std::to_string(marker.format) + ".");
    wizard.format = marker.format;
    break;
  }

  const std::size_t count = wizard.items.size();
  if (const auto stored =
          StoredSums(digests, count, sizeof(Digest), "digests", wizard.digestsProblem))
    for (std::size_t i = 0; i < count; ++i) {
      Digest digest;
      std::copy_n(stored->begin() + static_cast<std::ptrdiff_t>(i * sizeof(Digest)), sizeof(Digest),
                  digest.begin());
      wizard.digests.push_back(digest);
    }
  // Format 2 on: the checksums the wizard itself checks.
  if (wizard.format.value_or(1) >= 2 && wizard.digestsProblem.empty()) {
    const auto checksums =
        Find(tree, PACKAGE_RESOURCE_TYPE, ResourceId::Named(PACKAGE_CRC32C_RESOURCE));
    if (const auto stored = StoredSums(checksums, count, package_format::kChecksumBytes,
                                       "checksums", wizard.digestsProblem))
      for (std::size_t i = 0; i < count; ++i)
        wizard.checksums.push_back(Le32(stored->data() + i * package_format::kChecksumBytes));
  }

  // What the owner's texts, agreement and icon say, where they can be read.
  if (const auto record = Fact(tree, kRtVersion, 1, kMostVersionBytes)) {
    try {
      wizard.version = ReadVersionRecord(*record);
    } catch (const std::runtime_error &) {
    }
  }
  if (const auto manifest = Fact(tree, kRtManifest, 1, kMostManifestBytes))
    if (const auto identity = ManifestIdentity(std::string(manifest->begin(), manifest->end())))
      wizard.identityName = ValidUtf8(*identity);
  if (const auto agreement =
          Fact(tree, PACKAGE_RESOURCE_TYPE, PACKAGE_AGREEMENT_ID, kMostAgreementBytes))
    wizard.agreement = ValidUtf8(std::string(agreement->begin(), agreement->end()));
  if (const auto group = Fact(tree, kRtGroupIcon, PACKAGE_ICON_GROUP_ID, kMostIconGroupBytes)) {
    try {
      wizard.icon = ReadIconGroup(*group);
    } catch (const std::runtime_error &) {
    }
  }
  return wizard;
}

std::string Wizard::Mismatch(std::size_t index, const ItemSums &sums) const {
  if (!digestsProblem.empty())
    return digestsProblem;
  if (sums.sha256 != digests[index])
    return "its SHA-256 is " + Hex(sums.sha256) + ", the wizard stored " + Hex(digests[index]);
  if (!checksums.empty() && sums.crc32c != checksums[index])
    return "its CRC-32C is " + Hex32(sums.crc32c) + ", the wizard stored " +
           Hex32(checksums[index]);
  return "";
}

ItemSums Wizard::Read(const WizardItem &item, Sink *sink) const {
  HashingSink hashing(sink);
  if (item.data)
    item.data->source->WriteTo(hashing);
  return hashing.Finish();
}
