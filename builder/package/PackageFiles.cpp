#include "builder/package/PackageFiles.h"

#include "builder/base/Refusal.h"
#include "builder/base/TextRules.h"
#include "builder/platform/Platform.h"

#include <algorithm>
#include <vector>

namespace {

// Characters people and programs put where an apostrophe belongs: the
// typographic ones word processors and macOS substitute, accents, primes.
const char *const kApostrophes[] = {"\u2019", "\u2018", "`",     "\u00B4",
                                    "\u2032", "\u02BC", "\uFF07"};

std::string FoldCase(std::string name) {
  for (char &c : name)
    c = AsciiLower(c);
  return name;
}

// Letter case aside, every apostrophe the same.
std::string Loose(const std::string &name) {
  std::string loose = FoldCase(name);
  for (const char *apostrophe : kApostrophes)
    for (std::size_t at; (at = loose.find(apostrophe)) != std::string::npos;)
      loose.replace(at, std::string(apostrophe).size(), "'");
  return loose;
}

std::string Stem(const std::string &name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool HasExtension(const std::string &name) { return Stem(name) != name; }

// A file of another type under the same stem (a .docx for the .pdf): a
// rename would ship the wrong kind of file.
bool OfAnotherKind(const std::string &entry, const std::string &name) {
  const std::string loose = Loose(entry), wanted = Loose(name);
  return loose != wanted && Stem(loose) == Stem(wanted) && HasExtension(loose) &&
         HasExtension(wanted);
}

// What sets a near miss apart from the name when it is hard to see.
std::string Difference(const std::string &entry, const std::string &name) {
  const std::string loose = Loose(entry), wanted = Loose(name);
  if (loose == wanted) {
    for (const char *apostrophe : kApostrophes)
      if (entry.find(apostrophe) != std::string::npos)
        return std::string(", whose name has ") + apostrophe + " where the wizard's has '";
  }
  if (Stem(loose) == wanted)
    return ", whose name ends in a second extension (Windows Explorer hides the last one)";
  if (OfAnotherKind(entry, name))
    return ", which is another kind of file";
  return {};
}

bool IsNearMiss(const std::string &entry, const std::string &name) {
  const std::string loose = Loose(entry), wanted = Loose(name);
  return loose == wanted || Stem(loose) == Stem(wanted) || loose == Stem(wanted) ||
         Stem(loose) == wanted;
}

} // namespace

PackageFile FindPackageFile(const std::string &folder, const std::string &name) {
  const std::string exact = platform::JoinPath(folder, name);
  std::vector<std::string> sameName;
  std::string nearMiss;
  const auto isFile = [&](const std::string &entry) {
    return platform::KindOf(platform::JoinPath(folder, entry)) == platform::Kind::File;
  };
  // The smallest near miss, so that every system names the same one.
  platform::ListFolder(folder, [&](const std::string &entry) {
    if (FoldCase(entry) == FoldCase(name)) {
      if (isFile(entry))
        sameName.push_back(entry);
    } else if (IsNearMiss(entry, name) && (nearMiss.empty() || entry < nearMiss) && isFile(entry)) {
      nearMiss = entry;
    }
  });
  if (sameName.size() > 1) {
    std::vector<std::string> quoted;
    for (const std::string &entry : sameName)
      quoted.push_back("\"" + Escaped(entry) + "\"");
    std::sort(quoted.begin(), quoted.end());
    throw Refusal("The package folder " + folder + " holds " + Listing(quoted) +
                  ", which differ only in letter case: Windows takes them for one file, " + name +
                  ". Keep only one of them.");
  }
  // A name the folder cannot list (as a system may hide) still counts.
  std::string reason;
  const platform::Kind kind = platform::KindOf(exact, &reason);
  if (kind == platform::Kind::File)
    return {exact, {}, {}, false};
  if (kind == platform::Kind::Unknown)
    throw Refusal(CannotReach(exact, reason));
  if (sameName.size() == 1)
    return {platform::JoinPath(folder, sameName[0]), {}, {}, false};
  if (nearMiss.empty())
    return {};
  return {{}, Escaped(nearMiss), Difference(nearMiss, name), OfAnotherKind(nearMiss, name)};
}
