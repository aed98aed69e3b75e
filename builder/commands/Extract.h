// makewizard extract: a wizard's three files written into a folder, each
// checked against its stored digest on the way and given its name only
// when intact.
#pragma once

#include <string>

// Returns an ExitStatus (builder/WizardReader.h): 1 also when a file could
// not be written.
int ExtractWizard(const std::string &wizardPath, const std::string &folder, bool overwrite);
