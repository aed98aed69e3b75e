#include "package/ExtractionRun.h"

#include "package/DeliveryCheck.h"
#include "package/PayloadChecksum.h"
#include "package/PayloadItem.h"
#include "package/PhaseMarks.h"
#include "package/ShellCopy.h"
#include "package/StagingFolder.h"

#include <vector>

namespace {

constexpr int kStagedPositions[] = {330, 660, 1000};
static_assert(std::size(kStagedPositions) == std::size(kPayloadFiles));

std::wstring Join(std::wstring folder, const wchar_t *fileName) {
  if (!folder.empty() && folder.back() == L'\\')
    folder.pop_back();
  return folder + fileName;
}

void Call(const std::function<void()> &callback) {
  if (callback)
    callback();
}

// Looks at the window's messages now and then rather than after every
// chunk: each look is a call into the system that costs as much as checking
// a tenth of a chunk, and nobody sees a window that answers within 20 ms.
constexpr ULONGLONG kAnswerEveryMilliseconds = 20;
std::function<void()> NowAndThen(std::function<void()> keepAnswering) {
  if (!keepAnswering)
    return {};
  return [keepAnswering = std::move(keepAnswering), last = GetTickCount64()]() mutable {
    if (const ULONGLONG now = GetTickCount64(); now - last >= kAnswerEveryMilliseconds) {
      last = now;
      keepAnswering();
    }
  };
}

// Writes item `index`, checking each chunk against the item's stored
// checksum as it is written: the bytes checked are the bytes written, in
// one pass. From then on the staging folder keeps the file as it was
// written until the copy; what the copy delivers is checked again.
void StageChecked(StagingFolder &staging, std::size_t index, const PayloadStream &stream,
                  const std::function<void()> &keepAnswering) {
  Crc32c crc(CheckMethod());
  staging.Stage(stream, kPayloadFiles[index].fileName, [&](std::span<const std::byte> chunk) {
    AddToChecksum(crc, chunk);
    Call(keepAnswering);
  });
  if (crc.Value() != StoredChecksum(index))
    RaiseDamagedPackage();
}

} // namespace

bool ExtractPackage(HWND owner, const std::wstring &destination, const RunCallbacks &callbacks) {
  MarkPhaseEnd("start");
  // Every item and its checksum are found before anything is written: a
  // missing or damaged one stops the run with nothing staged.
  std::vector<PayloadStream> streams;
  for (const PayloadFile &file : kPayloadFiles)
    streams.push_back(PayloadStream::Open(file.resourceName));
  for (std::size_t i = 0; i < streams.size(); ++i)
    StoredChecksum(i);
  // Ends after the staging folder's clean-up, which is part of the run.
  struct MarksWrittenAtTheEnd {
    ~MarksWrittenAtTheEnd() {
      MarkPhaseEnd("cleaned");
      WritePhaseMarks();
    }
  } marksWrittenAtTheEnd;
  Patience patience;
  const std::function<void()> keepAnswering = NowAndThen(callbacks.keepAnswering);
  patience.whileWaiting = keepAnswering;
  StagingFolder staging(RandomNameSuffix, patience);
  for (std::size_t i = 0; i < streams.size(); ++i) {
    StageChecked(staging, i, streams[i], keepAnswering);
    MarkPhaseEnd("staged");
    if (callbacks.staged)
      callbacks.staged(kStagedPositions[i]);
  }

  const ShellCopyResult copy = ShellCopyFiles(owner, staging.StagedFiles(), destination);
  staging.ReleaseStagedFiles();
  MarkPhaseEnd("copied");
  if (!copy.completed)
    return false;
  // The shell can answer success for a copy that delivered nothing (a missing
  // drive, a parent that is a file, a folder it may not write to). Only the
  // delivered files are read: their sizes and checksums say the rest.
  for (std::size_t i = 0; i < streams.size(); ++i)
    if (!FileMatches(Join(copy.target, kPayloadFiles[i].fileName), streams[i].Bytes().size(),
                     StoredChecksum(i), patience))
      return false;
  MarkPhaseEnd("checked");
  return true;
}
