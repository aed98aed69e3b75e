// A folder of the run's own under the temporary path, where the package is
// written before the shell copies it. New and empty on every run; removed
// with what was staged in it when the object goes away, on success and on
// error alike.
#pragma once

#include "package/Patience.h"
#include "package/PayloadItem.h"
#include "toolkit/Handle.h"

#include <functional>
#include <string>
#include <vector>

// Gives the part of a staging folder's name after "VELNORIX": a new
// unpredictable one on every call.
using NameSuffixSource = std::function<std::wstring()>;
std::wstring RandomNameSuffix();

class StagingFolder {
public:
  // Creates a new folder whose name begins with "VELNORIX", protected from
  // the user's unelevated programs, under a name nobody else holds. Raises an
  // error before anything is written when the temporary path cannot be used
  // or no such folder can be made.
  explicit StagingFolder(const NameSuffixSource &suffixes = RandomNameSuffix,
                         Patience patience = {});
  ~StagingFolder();
  StagingFolder(const StagingFolder &) = delete;
  StagingFolder &operator=(const StagingFolder &) = delete;

  const std::wstring &Path() const { return path_; }
  // Saves the stream under the folder; the file is removed with the folder.
  void Stage(const PayloadStream &stream, const wchar_t *fileName,
             const ChunkWritten &afterChunk = {});

  // The longest staging folder path: its wildcard source list ("\*.*") and
  // each staged file path must still fit the shell's MAX_PATH buffers.
  static std::size_t MaxPathLength();

private:
  // True once every staged file is gone; files that are gone are forgotten.
  bool DeleteStagedFiles();
  bool HeldFolderIsEmpty() const;
  void LetGoAndRemove();
  void ScheduleRemovalAtRestart() const;
  void KeepAnsweringWhileWaiting() const noexcept;

  Patience patience_; // for removal; what remains then is left to the next restart
  std::wstring path_;
  toolkit::FileHandle held_; // keeps the folder itself from being swapped
  std::vector<std::wstring> staged_;
};

// The temporary-folder error: the folder, or the system's text when there is none.
[[noreturn]] void RaiseTemporaryFolderError(const std::wstring &detail);
