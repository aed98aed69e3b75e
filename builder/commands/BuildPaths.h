// makewizard build's three paths: each checked for what it is before
// anything is read, so that arguments in the wrong order are named as
// such, and the output checked against the inputs once they are known.
#pragma once

#include <string>
#include <vector>

// What to do about a stub that is not one.
inline constexpr const char kGetStub[] = "name the wizard-stub.exe that came with makewizard.";

// How build is called, for the messages that name its order.
inline constexpr const char kBuildSynopsis[] = "makewizard build STUB PACKAGE_DIR OUTPUT.exe";

// All three absolute. Refuses a stub that is missing or a folder, a
// package folder that is missing or a file, an output that is a folder.
void CheckPathKinds(const std::string &stub, const std::string &folder, const std::string &output);

// Refuses an output whose folder is missing, that is the stub or one of
// `inputs`, or that exists unless `overwrite`.
void CheckOutput(const std::string &output, const std::string &stub,
                 const std::vector<std::string> &inputs, bool overwrite);
