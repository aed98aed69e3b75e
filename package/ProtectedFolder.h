// Folders that only administrators can change: the elevated run stages the
// package in one, so that the same user's unelevated programs can read it
// but neither add, replace nor alter anything while it is in use.
#pragma once

#include "toolkit/Handle.h"

#include <string>

// The security descriptor given at creation, as SDDL: full control for
// Administrators and SYSTEM, read and execute for the user running the
// program, nothing for anyone else, nothing inherited from the parent.
std::wstring ProtectedFolderSddl();

// Creates the folder with that descriptor; false (with the last error set)
// when it could not be created, as when the name is taken.
bool CreateProtectedFolder(const std::wstring &path);

// Opens the folder without following reparse points, in a way that keeps
// it from being deleted or renamed while the handle lives. Answers no
// handle (and the last error set) unless it is a plain, empty directory.
toolkit::FileHandle OpenPlainEmptyFolder(const std::wstring &path);
