// A file of the package folder found by its name as Windows finds it, so
// that a folder gives the same wizard on every system: a name that differs
// only in letter case is the same file (the wizard delivers each under its
// own name anyway). Where none is there, the name that comes closest (a
// different apostrophe, extension or case) is told, for the message.
#pragma once

#include <string>

struct PackageFile {
  std::string path; // empty when the folder has no such file
  // Without a path: the entry of the folder that comes closest, escaped
  // for printing, and what sets it apart (", whose name has ..."), if any.
  std::string nearMiss;
  std::string difference;
  // The near miss is a file of another type under the same name, which a
  // rename would not make the file the wizard delivers.
  bool otherKind = false;
};

// Refuses a folder that holds two files of the name in different letter
// cases (on a system that tells them apart), as Windows would see one.
PackageFile FindPackageFile(const std::string &folder, const std::string &name);
