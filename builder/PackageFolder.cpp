#include "builder/PackageFolder.h"

#include "builder/Agreement.h"
#include "builder/PackageCmake.h"
#include "builder/Platform.h"
#include "builder/Refusal.h"
#include "builder/TextRules.h"
#include "builder/Utf.h"
#include "resources/PackageFormat.h"

#include <algorithm>
#include <map>

namespace {

const char *const kTextSettings[] = {"PACKAGE_COMPANY_NAME", "PACKAGE_LEGAL_COPYRIGHT"};
const char kIdentitySetting[] = "PACKAGE_IDENTITY_NAME";
constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::size_t kMostTextCharacters = 1024;

std::string Listing(const std::vector<std::string> &items) {
  std::string text;
  for (std::size_t i = 0; i + 1 < items.size(); ++i)
    text += (i ? ", " : "") + items[i];
  return text + " and " + items.back();
}

// Budgets for the files read whole, far above what owners write: a
// package.cmake of three settings is some 200 bytes, the longest licence
// agreements some 100 KB (program.ico's is kMostIconBytes).
constexpr std::size_t kMostPackageCmakeBytes = 64 * 1024;
constexpr std::size_t kMostAgreementBytes = 1u << 20;

// At most `most` bytes and one more: what is larger is refused by the
// reader that knows what the file is for.
std::string ReadWhole(const std::string &path, std::size_t most) {
  try {
    platform::File file = platform::File::OpenRead(path);
    std::string data(static_cast<std::size_t>(std::min<std::uint64_t>(file.Size(), most + 1)),
                     '\0');
    data.resize(file.Read(reinterpret_cast<std::uint8_t *>(data.data()), data.size()));
    return data;
  } catch (const platform::SystemError &error) {
    throw Refusal(CannotRead(path, error.what()));
  }
}

void CheckSize(const std::string &path, const std::string &data, std::size_t most,
               const std::string &advice) {
  if (data.size() > most)
    throw Refusal(path + " is larger than the " + WithThousands(most) +
                  " bytes makewizard reads of it: " + advice);
}

// The settings as text, checked as the version record and manifest need.
std::map<std::string, std::u32string> CheckSettings(const std::string &path,
                                                    const std::map<std::string, std::string> &raw) {
  std::map<std::string, std::u32string> settings;
  for (const char *name : {kTextSettings[0], kTextSettings[1], kIdentitySetting}) {
    const auto found = raw.find(name);
    if (found == raw.end())
      throw Refusal(path + " does not set " + name + ": add a line set(" + name + " \"...\").");
    if (Utf8Error(found->second))
      throw Refusal(path + " sets " + name +
                    " to text that is not UTF-8: save package.cmake as UTF-8.");
    const std::u32string value = DecodeUtf8(found->second);
    bool blank = true;
    for (const char32_t code : value)
      blank = blank && IsWhiteSpace(code);
    if (blank)
      throw Refusal(path + " sets " + name + " to an empty text: give it a value, as in set(" +
                    name + " \"...\").");
    settings[name] = value;
  }
  for (const char *name : kTextSettings) {
    // A version record's lengths are 16-bit: its texts must leave it under
    // 64 KiB. Company names and copyright lines are a line long.
    if (settings[name].size() > kMostTextCharacters)
      throw Refusal(path + " sets " + name + " to a text of " +
                    WithThousands(settings[name].size()) + " characters, more than the " +
                    WithThousands(kMostTextCharacters) +
                    " a version record holds: write it shorter.");
    for (const char32_t code : settings[name])
      if (IsControl(code))
        throw Refusal(path + " sets " + name + " to a text holding " + Describe(code) +
                      ", which a version record cannot show: write it on one line without control "
                      "characters.");
  }
  const std::u32string &identity = settings[kIdentitySetting];
  for (const char32_t code : identity) {
    const bool allowed = (code >= U'a' && code <= U'z') || (code >= U'A' && code <= U'Z') ||
                         (code >= U'0' && code <= U'9') || code == U'.' || code == U'-' ||
                         code == U'_';
    if (!allowed)
      throw Refusal(path + " sets " + kIdentitySetting + " to \"" + EncodeUtf8(identity) +
                    "\", which holds " + Describe(code) +
                    ": a manifest identity name may hold only letters, digits, \".\", \"-\" "
                    "and \"_\" (for example Owner.Package).");
  }
  return settings;
}

std::vector<PayloadFile> CheckPayload(const std::string &folder, const PayloadCeiling &ceiling) {
  std::vector<std::string> names;
  for (const auto &item : package_format::kItems)
    names.emplace_back(item.fileName);
  std::vector<PayloadFile> files;
  std::uint64_t total = 0;
  for (const std::string &name : names) {
    const std::string path = platform::JoinPath(folder, name);
    if (platform::KindOf(path) != platform::Kind::File)
      throw Refusal("The package folder " + folder + " lacks the file \"" + name +
                    "\": the wizard delivers " + Listing(names) +
                    ", so each must be there under that name.");
    try {
      files.push_back({path, platform::File::OpenRead(path).Size()});
    } catch (const platform::SystemError &error) {
      throw Refusal(CannotRead(path, error.what()));
    }
    total += files.back().size;
  }
  if (total > ceiling.mib * kMiB) {
    const std::string comesTo = "The files of the package in " + folder + " come to " +
                                WithThousands((total + kMiB - 1) / kMiB) + " MiB: ";
    const std::string limit = WithThousands(ceiling.mib);
    if (!ceiling.anyWindows)
      throw Refusal(
          comesTo + "the wizard cannot map a package of more than " + limit +
          " MiB even on 64-bit Windows, so it could not start. Split the package or make its "
          "files smaller.");
    throw Refusal(
        comesTo + "on 32-bit Windows the wizard cannot map a package of more than " + limit +
        " MiB, so it could not start there. Split the package or make its files smaller; if it is "
        "meant only for 64-bit Windows, build it with --for-64bit-windows-only (in the CMake "
        "build: -DWIZARD_PACKAGE_FOR_64BIT_WINDOWS_ONLY=ON), which allows " +
        WithThousands(ceiling.mib64BitOnly) + " MiB.");
  }
  return files;
}

} // namespace

Package ReadPackageFolder(const std::string &folder, const PayloadCeiling &ceiling) {
  if (platform::KindOf(folder) != platform::Kind::Folder) {
    std::vector<std::string> files = {"package.cmake", "agreement.txt", "program.ico"};
    for (const auto &item : package_format::kItems)
      files.emplace_back(item.fileName);
    throw Refusal("The package folder " + folder + " does not exist: name a folder that holds " +
                  Listing(files) + ".");
  }
  Package package;
  const std::string packageCmake = platform::JoinPath(folder, "package.cmake");
  if (platform::KindOf(packageCmake) != platform::Kind::File)
    throw Refusal("The package folder " + folder +
                  " has no package.cmake: add one that sets "
                  "PACKAGE_COMPANY_NAME, PACKAGE_LEGAL_COPYRIGHT and PACKAGE_IDENTITY_NAME, as "
                  "resources/sample-package/package.cmake does.");
  const std::string cmake = ReadWhole(packageCmake, kMostPackageCmakeBytes);
  CheckSize(packageCmake, cmake, kMostPackageCmakeBytes,
            "it holds three settings, set(NAME \"value\") lines, and comments.");
  auto settings = CheckSettings(packageCmake, ReadPackageCmake(packageCmake, cmake));
  package.companyName = EncodeUtf8(settings[kTextSettings[0]]);
  package.legalCopyright = EncodeUtf8(settings[kTextSettings[1]]);
  package.identityName = EncodeUtf8(settings[kIdentitySetting]);

  const std::string agreement = platform::JoinPath(folder, "agreement.txt");
  const std::string icon = platform::JoinPath(folder, "program.ico");
  if (platform::KindOf(agreement) != platform::Kind::File)
    throw Refusal(
        "The package folder " + folder +
        " lacks agreement.txt: add the licence agreement the user accepts, saved as UTF-8.");
  if (platform::KindOf(icon) != platform::Kind::File)
    throw Refusal("The package folder " + folder +
                  " lacks program.ico: add the program icon, an .ico file with " + kIconNeeds +
                  ".");
  const std::string agreementData = ReadWhole(agreement, kMostAgreementBytes);
  CheckSize(agreement, agreementData, kMostAgreementBytes,
            "the wizard shows it in one text box, which is no place for a longer text.");
  package.agreement = AgreementText(agreement, agreementData);
  // ReadIcon refuses a larger icon itself.
  package.icon = ReadIcon(icon, ReadWhole(icon, kMostIconBytes));
  package.payload = CheckPayload(folder, ceiling);
  package.inputs = {packageCmake, agreement, icon};
  for (const PayloadFile &file : package.payload)
    package.inputs.push_back(file.path);
  return package;
}
