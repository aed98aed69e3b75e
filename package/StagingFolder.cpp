#include "package/StagingFolder.h"

#include "package/PayloadChecksum.h"
#include "package/ProtectedFolder.h"
#include "package/ShellCopy.h"
#include "resources/Texts.h"
#include "win32/Error.h"

#include <ntsecapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwchar>
#include <exception>

namespace {

bool Gone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

constexpr wchar_t kStagingPrefix[] = L"VELNORIX";
constexpr int kNameAttempts = 100;

std::wstring TemporaryPath() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, buffer);
  if (length == 0)
    win32::RaiseLastError(texts::kTemporaryFolderUnusable);
  if (length < MAX_PATH)
    return std::wstring(buffer, length);
  // Too long for the buffers: ask again only to name it in the message.
  std::wstring path(length, L'\0');
  path.resize(GetTempPathW(length, path.data()));
  RaiseTemporaryFolderError(path);
}

} // namespace

std::wstring RandomNameSuffix() {
  // Unpredictable, so that nobody can place something at the next name
  // ahead of the run.
  unsigned char bytes[8] = {};
  if (!RtlGenRandom(bytes, sizeof bytes))
    throw win32::Error(texts::kNoRandomNumbers);
  std::wstring text;
  for (const unsigned char byte : bytes) {
    text.push_back(L"0123456789ABCDEF"[byte >> 4]);
    text.push_back(L"0123456789ABCDEF"[byte & 15]);
  }
  return text;
}

void RaiseTemporaryFolderError(const std::wstring &detail) {
  throw win32::Error(texts::kTemporaryFolderUnusable + detail);
}

std::size_t StagingFolder::MaxPathLength() {
  // Each staged file goes to the shell's copy by its path: folder, "\", name.
  return kMaxShellPathLength - 1 - kLongestPayloadFileName;
}

StagingFolder::StagingFolder(const NameSuffixSource &suffixes, Patience patience)
    : patience_(std::move(patience)) {
  const std::wstring temporary = TemporaryPath();
  for (int attempt = 1;; ++attempt) {
    std::wstring candidate = temporary + kStagingPrefix + suffixes();
    if (candidate.size() > MaxPathLength())
      RaiseTemporaryFolderError(temporary);
    held_ = CreateProtectedFolder(candidate);
    if (!held_) {
      // A name that is taken is never ours to use, whatever lies there.
      if (GetLastError() == ERROR_ALREADY_EXISTS && attempt < kNameAttempts)
        continue;
      win32::RaiseFileCreateError(candidate);
    }
    path_ = std::move(candidate);
    return;
  }
}

void StagingFolder::Stage(const PayloadStream &stream, const wchar_t *fileName,
                          const ChunkWritten &afterChunk, const std::function<void()> &afterSave) {
  std::wstring file = path_ + fileName;
  // Recorded before the save, so that a partly written file is removed too.
  staged_.push_back(file);
  const WrittenFile written = SaveToFile(stream, file, afterChunk);
  if (afterSave)
    afterSave();
  // Read access, so that the handle's sharing counts: an open for reading
  // alone may still be made, and the shell's copy makes one. A scanner that
  // opened the new file a moment ago is waited for, as by the clean-up.
  const auto keep = [&] {
    return CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                       nullptr);
  };
  win32::FileHandle kept = OpenWaitingForHolders(patience_, keep);
  if (!kept)
    win32::RaiseFileCreateError(file);
  // Between the save's close and this open, nothing held the file: what
  // was checked as it was written is delivered only if it is still that
  // file, that long (the delivery check reads what arrives).
  if (WrittenFileOf(kept.Get()) != written)
    RaiseDamagedPackage();
  kept_.push_back(std::move(kept));
}

StagingFolder::~StagingFolder() {
  // The files cannot go while they are kept open.
  ReleaseStagedFiles();
  // Everything by path happens while the folder is held, so that nobody can
  // have swapped it for a link to somewhere else by then. It is let go only
  // once it is empty, to be removed at once, or when the waiting is over.
  for (int attempt = 1;; ++attempt) {
    if (DeleteStagedFiles() && HeldFolderIsEmpty()) {
      LetGoAndRemove();
      return;
    }
    if (attempt >= patience_.attempts)
      break;
    Sleep(patience_.pauseMilliseconds);
    KeepAnsweringWhileWaiting();
  }
  // Staged files that will not go are removed at the next restart, and the
  // folder after them (the process is elevated, as that requires): left
  // behind, they would stay in the user's %TEMP% where the user cannot
  // change them. A folder that holds none of them (only a file deleted but
  // still open elsewhere) is left alone: it is harmless once empty, and its
  // name alone, once empty, any program of the user could delete and put a
  // link at, which the removal at restart would follow as SYSTEM.
  if (!staged_.empty())
    ScheduleRemovalAtRestart();
  held_.Reset();
}

void StagingFolder::KeepAnsweringWhileWaiting() const noexcept {
  // Not while an error is on its way out: its box comes first, and nothing
  // may throw from a destructor.
  if (!patience_.whileWaiting || std::uncaught_exceptions() > 0)
    return;
  try {
    patience_.whileWaiting();
  } catch (...) {
    // A window message that failed here has nowhere to go; removal goes on.
  }
}

bool StagingFolder::DeleteStagedFiles() {
  // Results beyond "gone or not" are ignored: there is nothing better to do
  // with a file that will not go than to try again, then leave it to restart.
  std::erase_if(staged_, [](const std::wstring &file) {
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(file.c_str()) || Gone(GetLastError());
  });
  return staged_.empty();
}

bool StagingFolder::HeldFolderIsEmpty() const {
  // A file deleted while another program still has it open stays listed
  // until it is closed, and keeps the folder from being removed.
  return PathIsDirectoryEmptyW(path_.c_str());
}

void StagingFolder::LetGoAndRemove() {
  // Cleared while held: a read-only folder cannot be removed.
  SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
  held_.Reset();
  // From here the name may be another program's: RemoveDirectoryW removes a
  // link put there, never what it points to. Whatever else came into the
  // folder keeps it, and is not ours.
  RemoveDirectoryW(path_.c_str());
}

void StagingFolder::ScheduleRemovalAtRestart() const {
  // In this order: the folder can go only once it is empty.
  for (const std::wstring &file : staged_)
    MoveFileExW(file.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  MoveFileExW(path_.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}
