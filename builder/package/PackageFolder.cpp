#include "builder/package/PackageFolder.h"

#include "builder/base/Refusal.h"
#include "builder/base/TextRules.h"
#include "builder/base/Utf.h"
#include "builder/package/Agreement.h"
#include "builder/package/PackageCmake.h"
#include "builder/package/PackageFiles.h"
#include "builder/package/PayloadCeilings.h"
#include "builder/platform/Platform.h"
#include "resources/PackageFormat.h"

#include <algorithm>
#include <map>

namespace {

const char *const kTextSettings[] = {kCompanyName, kLegalCopyright};
const char kPackageCmake[] = "package.cmake";
const char kAgreement[] = "agreement.txt";
const char kIcon[] = "program.ico";
constexpr std::size_t kMostTextCharacters = 1024;

// The path of the package's file `name`; `missing` is the refusal when
// nothing like it is there.
std::string Require(const std::string &folder, const std::string &name,
                    const std::string &missing) {
  const PackageFile file = FindPackageFile(folder, name);
  if (!file.path.empty())
    return file.path;
  if (!file.nearMiss.empty())
    throw Refusal("The package folder " + folder + " lacks \"" + name + "\", but holds \"" +
                  file.nearMiss + "\"" + file.difference +
                  (file.otherKind ? ": save the file the wizard delivers as " + name + " there."
                                  : ": rename that file to " + name + "."));
  throw Refusal(missing);
}

// Budgets for the files read whole, far above what owners write: a
// package.cmake of three settings is some 200 bytes (agreement.txt's is
// kMostAgreementFileBytes, program.ico's kMostIconBytes).
constexpr std::size_t kMostPackageCmakeBytes = 64 * 1024;

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
  for (const char *name : kSettings) {
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
  const std::u32string &identity = settings[kIdentityName];
  for (const char32_t code : identity) {
    const bool allowed = (code >= U'a' && code <= U'z') || (code >= U'A' && code <= U'Z') ||
                         (code >= U'0' && code <= U'9') || code == U'.' || code == U'-' ||
                         code == U'_';
    if (!allowed)
      throw Refusal(path + " sets " + kIdentityName + " to \"" + Escaped(EncodeUtf8(identity)) +
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
    const std::string path = Require(folder, name,
                                     "The package folder " + folder + " lacks the file \"" + name +
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
    if (ceiling.wider.empty())
      throw Refusal(comesTo + "the wizard cannot map a package of more than " + limit +
                    " MiB even on 64-bit Windows, so it could not start. Make its files "
                    "smaller.");
    throw Refusal(comesTo + "on 32-bit Windows the wizard cannot map a package of more than " +
                  limit +
                  " MiB, so it could not start there. Make its files smaller or, if none of your "
                  "customers runs 32-bit Windows, " +
                  ceiling.wider + ", which allows " + WithThousands(ceiling.widerMib) + " MiB.");
  }
  return files;
}

} // namespace

std::vector<std::string> PackageFileNames() {
  std::vector<std::string> names = {kPackageCmake, kAgreement, kIcon};
  for (const auto &item : package_format::kItems)
    names.emplace_back(item.fileName);
  return names;
}

Package ReadPackageFolder(const std::string &folder, const PayloadCeiling &ceiling) {
  Package package;
  const std::string packageCmake =
      Require(folder, kPackageCmake,
              "The package folder " + folder +
                  " has no package.cmake: add one with a set(NAME \"value\") "
                  "line for each of " +
                  Listing(std::vector<std::string>(std::begin(kSettings), std::end(kSettings))) +
                  ", as the sample package's package.cmake has.");
  const std::string cmake = ReadWhole(packageCmake, kMostPackageCmakeBytes);
  CheckSize(packageCmake, cmake, kMostPackageCmakeBytes,
            "it holds three settings, set(NAME \"value\") lines, and comments.");
  auto settings = CheckSettings(packageCmake, ReadPackageCmake(packageCmake, cmake));
  package.companyName = EncodeUtf8(settings[kCompanyName]);
  package.legalCopyright = EncodeUtf8(settings[kLegalCopyright]);
  package.identityName = EncodeUtf8(settings[kIdentityName]);

  const std::string agreement =
      Require(folder, kAgreement,
              "The package folder " + folder +
                  " lacks agreement.txt: add the licence agreement the user accepts, saved as "
                  "UTF-8.");
  const std::string icon = Require(folder, kIcon,
                                   "The package folder " + folder +
                                       " lacks program.ico: add the program icon, an .ico file "
                                       "with " +
                                       kIconNeeds + ".");
  const std::string agreementData = ReadWhole(agreement, kMostAgreementFileBytes);
  CheckSize(agreement, agreementData, kMostAgreementFileBytes,
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
