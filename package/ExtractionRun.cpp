#include "package/ExtractionRun.h"

#include "package/DeliveryCheck.h"
#include "package/PayloadItem.h"
#include "package/ShellCopy.h"
#include "package/StagingFolder.h"

#include <array>

namespace {

constexpr int kStagedPositions[] = {330, 660, 1000};

std::wstring Join(std::wstring folder, const wchar_t *fileName) {
  if (!folder.empty() && folder.back() == L'\\')
    folder.pop_back();
  return folder + fileName;
}

} // namespace

bool ExtractPackage(HWND owner, const std::wstring &destination,
                    const StagedFileCallback &onStaged) {
  const std::array streams = {PayloadStream::Open(kPayloadFiles[0].resourceName),
                              PayloadStream::Open(kPayloadFiles[1].resourceName),
                              PayloadStream::Open(kPayloadFiles[2].resourceName)};
  StagingFolder staging;
  for (std::size_t i = 0; i < streams.size(); ++i) {
    staging.Stage(streams[i], kPayloadFiles[i].fileName);
    onStaged(kStagedPositions[i]);
  }

  const ShellCopyResult copy = ShellCopyFolderContents(owner, staging.Path(), destination);
  if (!copy.completed)
    return false;
  // The shell can answer success for a copy that delivered nothing (a missing
  // drive, a parent that is a file, a folder it may not write to).
  for (std::size_t i = 0; i < streams.size(); ++i)
    if (!FileMatches(Join(copy.target, kPayloadFiles[i].fileName), streams[i]))
      return false;
  return true;
}
