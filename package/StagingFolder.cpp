#include "package/StagingFolder.h"

#include "toolkit/Error.h"

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

// A suffix that differs between runs and between attempts of one run.
std::wstring UniqueSuffix(int attempt) {
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  const unsigned long long mixed =
      (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^
      static_cast<unsigned long long>(counter.QuadPart) ^
      (static_cast<unsigned long long>(attempt) * 0x9E3779B97F4A7C15ull);
  wchar_t text[17];
  std::swprintf(text, 17, L"%08lX", static_cast<unsigned long>(mixed ^ (mixed >> 32)));
  return text;
}

std::size_t LongestFileName() {
  std::size_t longest = 0;
  for (const PayloadFile &file : kPayloadFiles)
    longest = std::max(longest, std::wcslen(file.fileName));
  return longest;
}

} // namespace

void RaiseTemporaryFolderError(const std::wstring &detail) {
  throw toolkit::Error(L"The temporary folder cannot be used: " + detail);
}

std::size_t StagingFolder::MaxPathLength() {
  // MAX_PATH - 1 characters for a path; the source list also needs its
  // second terminating zero in a buffer of MAX_PATH + 1.
  return MAX_PATH - 1 - std::max(std::wcslen(kSourceWildcard), LongestFileName());
}

StagingFolder::StagingFolder() {
  const std::wstring temporary = TemporaryPath();
  const std::size_t nameLength = std::wcslen(kStagingPrefix) + 8;
  if (temporary.size() + nameLength > MaxPathLength())
    RaiseTemporaryFolderError(temporary);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::wstring candidate = temporary + kStagingPrefix + UniqueSuffix(attempt);
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      path_ = std::move(candidate);
      return;
    }
    // A name that is taken is never ours to use, whatever lies there.
    if (GetLastError() != ERROR_ALREADY_EXISTS || attempt + 1 == kNameAttempts)
      toolkit::RaiseFileCreateError(candidate);
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
  RemoveDirectoryW(path_.c_str());
}
