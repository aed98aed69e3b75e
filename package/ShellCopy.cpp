#include "package/ShellCopy.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>

namespace {

// A shell path list of one entry: the text, then two terminating zeros.
// Callers keep the text within kMaxShellPathLength characters.
struct PathList {
  wchar_t chars[kMaxShellPathLength + 2] = {};
  explicit PathList(const std::wstring &text) {
    std::copy_n(text.c_str(), std::min(text.size(), kMaxShellPathLength), chars);
  }
};

// A shell path list of several entries: each ends with a zero, the list
// with one more.
std::wstring PathListOf(const std::vector<std::wstring> &paths) {
  std::wstring list;
  for (const std::wstring &path : paths) {
    list += path;
    list += L'\0';
  }
  list += L'\0';
  return list;
}

std::wstring Qualified(const std::wstring &destination) {
  wchar_t qualified[MAX_PATH + 1] = {};
  // Some shells answer TRUE and leave the buffer as it was: an empty target
  // would name no folder at all.
  if (PathSearchAndQualifyW(destination.c_str(), qualified, MAX_PATH) && qualified[0])
    return qualified;
  return destination;
}

} // namespace

ShellCopyResult ShellCopyFiles(HWND owner, const std::vector<std::wstring> &files,
                               const std::wstring &destination) {
  // The files by name, not the folder's contents: whatever else comes into
  // the folder (where its access list is no defence) is never delivered.
  const std::wstring from = PathListOf(files);
  std::wstring target = Qualified(destination);
  const PathList to(target);

  SHFILEOPSTRUCTW operation{};
  operation.hwnd = owner;
  operation.wFunc = FO_COPY;
  operation.pFrom = from.c_str();
  operation.pTo = to.chars;
  // The shell shows its progress, asks before creating the folder and
  // before replacing files, reports its errors, and lets the user cancel.
  // The one flag keeps the staging folder's protection off the delivered
  // files: they take their permissions from the folder they land in.
  operation.fFlags = FOF_NOCOPYSECURITYATTRIBS;
  const int result = SHFileOperationW(&operation);
  return {std::move(target), result == 0 && !operation.fAnyOperationsAborted};
}
