// The shell's own copy of a whole folder's contents into a destination, with
// its progress window and its questions.
#pragma once

#include <windows.h>

#include <string>

struct ShellCopyResult {
  std::wstring target; // the folder the shell was asked to copy into
  bool completed;      // false when the shell failed or any part was aborted
};

// Copies everything in `sourceFolder` into `destination`, qualified when the
// shell's path utilities accept it, else as typed. Both must fit MAX_PATH.
ShellCopyResult ShellCopyFolderContents(HWND owner, const std::wstring &sourceFolder,
                                        const std::wstring &destination);
