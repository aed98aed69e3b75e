// A built wizard opened for reading. Its package is found as the wizard
// itself finds it (resources/PackageFormat.h): the payload's files, their
// SHA-256 digests and (from format 2 on) the CRC-32C checksums the wizard
// checks; beside them the agreement, icon group, version record and
// manifest the builder adds, and the signature, if any.
#pragma once

#include "builder/base/Hex.h"
#include "builder/base/Sha256.h"
#include "builder/package/Icon.h"
#include "builder/pe/ResourceTree.h"
#include "builder/pe/VersionRecord.h"
#include "builder/signing/Signature.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {
class File;
}

// What a file is instead of a wizard makewizard reads: what() is the whole
// message, naming the file. `damaged` when it is one cut short or broken,
// which scripts are told apart from any other file.
class NotAWizard : public std::runtime_error {
public:
  explicit NotAWizard(const std::string &message, bool damaged = false)
      : std::runtime_error(message), damaged(damaged) {}
  bool damaged;
};

// What reading a payload item gives: its SHA-256, and its CRC-32C, which
// the wizard itself checks.
struct ItemSums {
  Digest sha256;
  std::uint32_t crc32c = 0;
};

struct WizardItem {
  std::string name;                 // the name it is delivered under
  std::optional<ResourceData> data; // nothing: the wizard lacks it
};

class Wizard {
public:
  // `path` is absolute. Throws NotAWizard, naming the path as
  // platform::Shown does, or platform::SystemError when the file cannot be
  // read.
  static Wizard Open(const std::string &path);

  std::string path;
  bool is64Bit = false;
  // The stub format of the marker; nothing for a wizard made before
  // makewizard, which carries no marker.
  std::optional<unsigned long> format;
  std::vector<WizardItem> items;
  // The stored digests and (from format 2 on) checksums, or why they cannot
  // be used (the wizard then refuses every item as damaged).
  std::vector<Digest> digests;
  std::vector<std::uint32_t> checksums;
  std::string digestsProblem;
  std::optional<VersionFacts> version;
  std::optional<std::string> identityName;
  std::optional<std::string> agreement; // UTF-8
  std::vector<IconSize> icon;
  Signature signature;

  // Streams the item's bytes in chunks through `sink` (if given); returns
  // their sums. Throws platform::SystemError when the file cannot be read.
  ItemSums Read(const WizardItem &item, Sink *sink) const;
  // Empty when item `index` read as `sums` matches what the wizard stored
  // for it; else how it differs ("its SHA-256 is ..., the wizard stored ...").
  std::string Mismatch(std::size_t index, const ItemSums &sums) const;

private:
  std::shared_ptr<platform::File> file_;
};

// What to do about a damaged wizard, said alike to its owner, who built
// it, and to a customer, who got it.
inline constexpr const char kGetAgain[] =
    "If you built it, build it again; otherwise get it again from where it was published.";

// Exit statuses of show and extract.
enum ExitStatus { kIntact = 0, kDamaged = 1, kNotAWizard = 2 };
inline ExitStatus StatusOf(const NotAWizard &error) {
  return error.damaged ? kDamaged : kNotAWizard;
}
