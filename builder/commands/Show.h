// makewizard show: what a wizard carries, for a person or (--json) for a
// script, with every file checked against the digests the wizard stores.
#pragma once

#include <string>

// Returns an ExitStatus (builder/WizardReader.h).
// `trust`: a PEM file of root certificates to check the signer's chain
// against; empty, trust is left to the system where it has a say.
int ShowWizard(const std::string &path, bool json, const std::string &trust = "");
