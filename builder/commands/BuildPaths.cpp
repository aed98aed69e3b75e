#include "builder/commands/BuildPaths.h"

#include "builder/base/Refusal.h"
#include "builder/base/TextRules.h"
#include "builder/package/PackageFolder.h"
#include "builder/pe/PeImage.h"
#include "builder/platform/Platform.h"

namespace {

using platform::Kind;

const std::string kOrder = std::string("build takes the stub, the package folder and the output, "
                                       "in that order: ") +
                           kBuildSynopsis + ".";

bool IsSigned(const std::string &path) {
  try {
    platform::File file = platform::File::OpenRead(path);
    return PeImage::Read(file).Directory(kSecurityDirectory).size != 0;
  } catch (const std::exception &) {
    return false; // not a program makewizard reads: nothing to tell of it
  }
}

} // namespace

void CheckPathKinds(const std::string &stub, const std::string &folder, const std::string &output) {
  std::string stubReason, folderReason, outputReason;
  const Kind stubKind = platform::KindOf(stub, &stubReason);
  const Kind folderKind = platform::KindOf(folder, &folderReason);
  const Kind outputKind = platform::KindOf(output, &outputReason);
  if (stubKind == Kind::Unknown)
    throw Refusal("The stub " + CannotReach(stub, stubReason));
  if (folderKind == Kind::Unknown)
    throw Refusal("The package folder " + CannotReach(folder, folderReason));
  if (outputKind == Kind::Unknown)
    throw Refusal("The output " + CannotReach(output, outputReason));
  if (stubKind == Kind::Folder && folderKind == Kind::File)
    throw Refusal("The stub " + stub + " is a folder and the package folder " + folder +
                  " is a file: are the two swapped? " + kOrder);
  if (folderKind != Kind::Folder && folderKind != Kind::Other && outputKind == Kind::Folder)
    throw Refusal("The package folder " + folder +
                  (folderKind == Kind::File ? " is a file" : " does not exist") +
                  " and the output " + output + " is a folder: are the two swapped? " + kOrder);
  // Anything else that is there (a pipe, a device) the opening refuses by name.
  if (stubKind == Kind::Missing)
    throw Refusal("The stub " + stub + " does not exist: " + kGetStub);
  if (stubKind == Kind::Folder)
    throw Refusal("The stub " + stub + " is a folder, not a file: " + kOrder);
  if (folderKind == Kind::Missing)
    throw Refusal("The package folder " + folder + " does not exist: name a folder that holds " +
                  Listing(PackageFileNames()) + ".");
  if (folderKind != Kind::Folder)
    throw Refusal("The package folder " + folder +
                  (folderKind == Kind::File ? " is a file" : " is not a folder") + ": " + kOrder);
  if (outputKind == Kind::Folder)
    throw Refusal("The output " + output + " is a folder: name the wizard's file, for example " +
                  platform::JoinPath(output, "Setup.exe") + ".");
}

void CheckOutput(const std::string &output, const std::string &stub,
                 const std::vector<std::string> &inputs, bool overwrite) {
  const std::string folder = platform::ParentFolder(output);
  std::string reason;
  const Kind folderKind = platform::KindOf(folder, &reason);
  if (folderKind == Kind::Unknown)
    throw Refusal("The output's folder " + CannotReach(folder, reason));
  if (folderKind != Kind::Folder)
    throw Refusal("The folder " + folder + " of the output " + output +
                  " does not exist: create it, or name an output in a folder that exists.");
  const Kind outputKind = platform::KindOf(output, &reason);
  if (outputKind == Kind::Unknown)
    throw Refusal("The output " + CannotReach(output, reason));
  if (outputKind == Kind::Missing)
    return;
  const auto outputId = platform::IdOf(output);
  if (outputId && outputId == platform::IdOf(stub))
    throw Refusal("The output " + output + " is the stub " + stub +
                  ": name another file for the wizard; the stub must stay as it is.");
  for (const std::string &input : inputs)
    if (outputId && outputId == platform::IdOf(input))
      throw Refusal(
          "The output " + output + " is " + input +
          ", a file of the package: name a file outside the package folder for the wizard.");
  if (!overwrite)
    throw Refusal("The output " + output + " already exists" +
                  (IsSigned(output) ? " and is signed" : "") +
                  ": name another file, or add --overwrite to replace it.");
}
