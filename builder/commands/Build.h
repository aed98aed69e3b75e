// makewizard build: a stub and a package folder made into one wizard.
#pragma once

#include "builder/base/Sha256.h"

#include <cstdint>
#include <string>

struct BuildRequest {
  std::string stub;
  std::string packageDir;
  std::string output;
  bool for64BitWindowsOnly = false;
  // Replace an output that exists.
  bool overwrite = false;
  // Run by the source tree's CMake build: advice names its options.
  bool cmakeBuild = false;
  std::string executionLevel;
};

// What was written, as read back from the disk.
struct BuiltWizard {
  std::string path;
  std::uint64_t size;
  Digest digest;
};

// Refuses with a Refusal naming the file or argument at fault.
BuiltWizard BuildWizard(const BuildRequest &request);
