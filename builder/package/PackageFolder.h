// A package folder checked by every rule the wizard needs of it, with the
// messages its owner gets: package.cmake's settings, agreement.txt,
// program.ico and the files the wizard delivers.
#pragma once

#include "builder/package/Icon.h"

#include <cstdint>
#include <string>
#include <vector>

struct PayloadFile {
  std::string path;
  std::uint64_t size;
};

struct Package {
  std::string companyName;    // UTF-8
  std::string legalCopyright; // UTF-8
  std::string identityName;   // letters, digits, ".", "-" and "_"
  std::string agreement;      // UTF-8, every line ending CR LF
  std::vector<IconImage> icon;
  std::vector<PayloadFile> payload;
  // Every file read, for telling the output apart from them.
  std::vector<std::string> inputs;
};

// How much the three files may come to, and where that limit comes from.
struct PayloadCeiling {
  std::uint64_t mib;
  // For a 32-bit wizard for any Windows: what raises the ceiling to
  // widerMib, as its caller spells it ("build with --for-64bit-windows-only").
  // Empty where nothing does.
  std::string wider;
  std::uint64_t widerMib = 0;
};

// The names of the files a package folder holds, in the order messages
// name them.
std::vector<std::string> PackageFileNames();

// Refuses the folder, naming the file or setting, when the wizard cannot be
// built from it. `folder` is an absolute path to a folder.
Package ReadPackageFolder(const std::string &folder, const PayloadCeiling &ceiling);
