// makewizard show: what a wizard carries, for a person or (--json) for a
// script, with every file checked against the digests the wizard stores.
#pragma once

#include <string>

// Returns an ExitStatus (builder/WizardReader.h).
int ShowWizard(const std::string &path, bool json);
