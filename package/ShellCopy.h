// The shell's own copy of files into a destination folder, with its
// progress window and its questions.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The longest path the shell's copy takes, its terminating zero aside: it
// has no long-path form, and the staged files, the destination and the
// folder they land in must each fit its MAX_PATH buffers.
inline constexpr std::size_t kMaxShellPathLength = MAX_PATH - 1;

struct ShellCopyResult {
  std::wstring target; // the folder the shell was asked to copy into
  bool completed;      // false when the shell failed or any part was aborted
};

// Copies exactly these files, in this order, into `destination`, qualified
// when the shell's path utilities accept it, else as typed. No path may be
// longer than kMaxShellPathLength.
ShellCopyResult ShellCopyFiles(HWND owner, const std::vector<std::wstring> &files,
                               const std::wstring &destination);
