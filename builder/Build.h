// makewizard build: a stub and a package folder made into one wizard.
#pragma once

#include <string>

struct BuildRequest {
  std::string stub;
  std::string packageDir;
  std::string output;
  bool for64BitWindowsOnly = false;
  std::string executionLevel;
};

// Refuses with a Refusal naming the file or argument at fault.
void BuildWizard(const BuildRequest &request);
