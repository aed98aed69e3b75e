// The shell's own copy of files into a destination folder, with its
// progress window and its questions.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ShellCopyResult {
  std::wstring target; // the folder the shell was asked to copy into
  bool completed;      // false when the shell failed or any part was aborted
};

// Copies exactly these files, in this order, into `destination`, qualified
// when the shell's path utilities accept it, else as typed. Each path must
// fit MAX_PATH.
ShellCopyResult ShellCopyFiles(HWND owner, const std::vector<std::wstring> &files,
                               const std::wstring &destination);
