#include "package/StagingFolder.h"

#include "package/ProtectedFolder.h"
#include "toolkit/Error.h"

#include <ntsecapi.h>

#include <algorithm>
#include <cwchar>

namespace {

constexpr wchar_t kStagingPrefix[] = L"VELNORIX";
constexpr wchar_t kSourceWildcard[] = L"\\*.*";
constexpr int kNameAttempts = 100;

std::wstring TemporaryPath() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, buffer);
  if (length == 0)
    RaiseTemporaryFolderError(toolkit::SystemErrorText(GetLastError()));
  if (length < MAX_PATH)
    return std::wstring(buffer, length);
  // Too long for the buffers: ask again only to name it in the message.
  std::wstring path(length, L'\0');
  path.resize(GetTempPathW(length, path.data()));
  RaiseTemporaryFolderError(path);
}

std::size_t LongestFileName() {
  std::size_t longest = 0;
  for (const PayloadFile &file : kPayloadFiles)
    longest = std::max(longest, std::wcslen(file.fileName));
  return longest;
}

} // namespace

std::wstring RandomNameSuffix() {
  // Unpredictable, so that nobody can place something at the next name
  // ahead of the run.
  unsigned char bytes[8] = {};
  if (!RtlGenRandom(bytes, sizeof bytes))
    throw toolkit::Error(L"The system gave no random numbers for a folder name");
  std::wstring text;
  for (const unsigned char byte : bytes) {
    text.push_back(L"0123456789ABCDEF"[byte >> 4]);
    text.push_back(L"0123456789ABCDEF"[byte & 15]);
  }
  return text;
}

void RaiseTemporaryFolderError(const std::wstring &detail) {
  throw toolkit::Error(L"The temporary folder cannot be used: " + detail);
}

std::size_t StagingFolder::MaxPathLength() {
  // MAX_PATH - 1 characters for a path; the source list also needs its
  // second terminating zero in a buffer of MAX_PATH + 1.
  return MAX_PATH - 1 - std::max(std::wcslen(kSourceWildcard), LongestFileName());
}

StagingFolder::StagingFolder(const NameSuffixSource &suffixes) {
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
      toolkit::RaiseFileCreateError(candidate);
    }
    path_ = std::move(candidate);
    return;
  }
}

void StagingFolder::Stage(const PayloadStream &stream, const wchar_t *fileName) {
  std::wstring file = path_ + fileName;
  // Recorded before the save, so that a partly written file is removed too.
  staged_.push_back(file);
  SaveToFile(stream, file);
}

StagingFolder::~StagingFolder() {
  // Results are ignored: there is nothing better to do with a file that
  // will not go, and the folder then simply stays.
  for (const std::wstring &file : staged_)
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
  for (const std::wstring &file : staged_)
    DeleteFileW(file.c_str());
  held_.Reset();
  RemoveDirectoryW(path_.c_str());
}
