#include "builder/commands/Extract.h"

#include "builder/base/Refusal.h"
#include "builder/base/TextRules.h"
#include "builder/commands/Output.h"
#include "builder/commands/SignatureReport.h"
#include "builder/commands/WizardReader.h"
#include "builder/platform/Platform.h"

namespace {

class OutputSink : public Sink {
public:
  explicit OutputSink(Output &output) : output_(output) {}
  void Write(const std::uint8_t *data, std::size_t size) override { output_.Write(data, size); }

private:
  Output &output_;
};

// The folder and any missing folders above it.
void CreateFolders(const std::string &path) {
  const std::string parent = platform::ParentFolder(path);
  if (parent != path && platform::KindOf(parent) == platform::Kind::Missing)
    CreateFolders(parent);
  try {
    platform::CreateFolder(path);
  } catch (const platform::SystemError &) {
    // Made meanwhile by someone else: as good.
    if (platform::KindOf(path) != platform::Kind::Folder)
      throw;
  }
}

// Why nothing may be written under `target`, or nothing.
std::string Obstacle(const std::string &target, const std::string &wizardPath, bool overwrite) {
  std::string reason;
  const platform::Kind kind = platform::KindOf(target, &reason);
  const std::string shown = platform::Shown(target);
  switch (kind) {
  case platform::Kind::Missing:
    return {};
  case platform::Kind::Unknown:
    return CannotReach(shown, reason);
  case platform::Kind::Folder:
    return shown + " is a folder: move it away, or extract into another folder.";
  case platform::Kind::Other:
    return shown + " exists and is not a file: extract into another folder.";
  case platform::Kind::File:
    break;
  }
  if (platform::IdOf(target) == platform::IdOf(wizardPath))
    return shown + " is the wizard itself: extract into another folder.";
  if (!overwrite)
    return shown +
           " already exists: extract into another folder, or add --overwrite to replace it.";
  return {};
}

} // namespace

int ExtractWizard(const std::string &wizardArgument, const std::string &folderArgument,
                  bool overwrite) {
  const std::string wizardPath = platform::AbsolutePath(wizardArgument);
  const std::string folder = platform::AbsolutePath(folderArgument);
  // As messages name them.
  const std::string shownWizard = platform::Shown(wizardPath);
  const std::string shownFolder = platform::Shown(folder);
  std::optional<Wizard> opened;
  try {
    opened.emplace(Wizard::Open(wizardPath));
  } catch (const NotAWizard &error) {
    platform::PrintError(error.what());
    return StatusOf(error);
  } catch (const platform::SystemError &error) {
    platform::PrintError(CannotRead(shownWizard, error.what()));
    return kNotAWizard;
  }
  const Wizard &wizard = *opened;
  // Said first, and the files still extracted: the owner may need them.
  int status = kIntact;
  try {
    const signing::SignatureCheck signature = signing::CheckSignature(wizardPath);
    if (!SignatureHolds(signature)) {
      const bool unchecked = signature.verdict == signing::SignatureCheck::Verdict::Unchecked;
      platform::PrintError(shownWizard + ": " + Escaped(signature.reason) +
                           ". Its files are still extracted" +
                           (unchecked ? "." : "; do not pass them on. " + std::string(kGetAgain)));
      status = kDamaged;
    }
  } catch (const platform::SystemError &error) {
    platform::PrintError(CannotRead(shownWizard, error.what()));
    return kNotAWizard;
  }
  if (!wizard.digestsProblem.empty()) {
    platform::PrintError(shownWizard + " is damaged (" + wizard.digestsProblem +
                         "): no file was extracted, as none can be checked. " + kGetAgain);
    return kDamaged;
  }

  // Every obstacle named before anything is written.
  std::string reason;
  const platform::Kind folderKind = platform::KindOf(folder, &reason);
  if (folderKind == platform::Kind::Unknown) {
    platform::PrintError(CannotReach(shownFolder, reason));
    return kDamaged;
  }
  if (folderKind != platform::Kind::Missing && folderKind != platform::Kind::Folder) {
    platform::PrintError(shownFolder +
                         " is a file, not a folder: name the folder to extract into.");
    return kDamaged;
  }
  bool blocked = false;
  for (const WizardItem &item : wizard.items) {
    const std::string obstacle =
        Obstacle(platform::JoinPath(folder, item.name), wizardPath, overwrite);
    if (!obstacle.empty())
      platform::PrintError(obstacle);
    blocked = blocked || !obstacle.empty();
  }
  if (blocked)
    return kDamaged;
  if (folderKind == platform::Kind::Missing) {
    try {
      CreateFolders(folder);
    } catch (const platform::SystemError &error) {
      platform::PrintError("makewizard could not create the folder " + shownFolder + " (" +
                           error.what() +
                           "): create it yourself, or name a folder you may write to.");
      return kDamaged;
    }
  }

  for (std::size_t i = 0; i < wizard.items.size(); ++i) {
    const WizardItem &item = wizard.items[i];
    const std::string target = platform::JoinPath(folder, item.name);
    if (!item.data) {
      platform::PrintError(shownWizard + " lacks " + item.name + ", so it was not extracted. " +
                           kGetAgain);
      status = kDamaged;
      continue;
    }
    try {
      Output output(
          target,
          [&](const platform::SystemError &error) {
            return Refusal(
                "makewizard could not write " + platform::Shown(target) + " (" + error.what() +
                "); nothing was left under that name. " +
                (error.diskFull
                     ? "Free some space on the disk of " + shownFolder + " and extract again."
                     : "Check that you may write to " + shownFolder + " and extract again."));
          },
          overwrite ? Output::Existing::Replace : Output::Existing::Keep, false);
      OutputSink sink(output);
      const std::string mismatch = wizard.Mismatch(i, wizard.Read(item, &sink));
      if (!mismatch.empty()) {
        // The output's destructor deletes what was written.
        platform::PrintError(item.name + " is damaged in " + shownWizard + " (" + mismatch +
                             "): nothing of it was written to " + shownFolder + ". " + kGetAgain);
        status = kDamaged;
        continue;
      }
      output.Commit();
      platform::PrintOut("Extracted " + platform::Shown(target) + " (" +
                         WithThousands(item.data->size) + " bytes, intact)");
    } catch (const Refusal &refusal) {
      platform::PrintError(refusal.what());
      return kDamaged;
    } catch (const platform::SystemError &error) {
      platform::PrintError("makewizard could not read " + shownWizard + " (" + error.what() +
                           "); nothing of " + item.name + " was written to " + shownFolder +
                           ". Check that the wizard is on a disk you " +
                           "can read, and extract again.");
      return kDamaged;
    }
  }
  return status;
}
