// Folders that only administrators can change: the elevated run stages the
// package in one, so that the same user's unelevated programs can read it
// but neither add, replace nor alter anything while it is in use.
#pragma once

#include "win32/Handle.h"

#include <string>

// The security descriptor given at creation, as SDDL: full control for
// Administrators and SYSTEM, read and execute for the user running the
// program, nothing for anyone else, nothing inherited from the parent.
std::wstring ProtectedFolderSddl();

// Creates the folder with that descriptor and answers a handle to the very
// folder created, in one step: there is no moment in which another program
// could put something else at its name. As long as the handle lives the
// folder cannot be deleted, renamed or swapped for a link. No handle (and
// the last error set) when it could not be created, as when the name is
// taken by anything at all.
win32::FileHandle CreateProtectedFolder(const std::wstring &path);
