// A folder of the run's own under the temporary path, where the package is
// written before the shell copies it. New and empty on every run; removed
// with what was staged in it when the object goes away, on success and on
// error alike.
#pragma once

#include "package/Patience.h"
#include "package/PayloadItem.h"
#include "win32/Handle.h"

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
  // Saves the stream under the folder (`afterChunk` sees each chunk as it
  // is written), then keeps the file open, for reading, with a handle that
  // lets others read it and nothing else: from then on nobody can write to
  // it, rename it or delete it, on any file system, access lists or none,
  // until ReleaseStagedFiles(). Raises the file-creation error when the
  // file stays open elsewhere for writing or deleting, and the
  // damaged-package error when it is no longer the file that was written
  // (`afterSave` runs in that moment between the two, for the tests). The
  // file is removed with the folder.
  void Stage(const PayloadStream &stream, const wchar_t *fileName,
             const ChunkWritten &afterChunk = {}, const std::function<void()> &afterSave = {});
  // Every file staged, in the order staged.
  const std::vector<std::wstring> &StagedFiles() const { return staged_; }
  // Closes the handles Stage() keeps, once the shell's copy has returned.
  void ReleaseStagedFiles() { kept_.clear(); }

  // The longest staging folder path: each staged file path must still fit
  // the shell's MAX_PATH buffers.
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
  win32::FileHandle held_; // keeps the folder itself from being swapped
  std::vector<std::wstring> staged_;
  std::vector<win32::FileHandle> kept_; // keeps the staged files as they were written
};

// The temporary-folder error: the folder, or the system's text when there is none.
[[noreturn]] void RaiseTemporaryFolderError(const std::wstring &detail);
