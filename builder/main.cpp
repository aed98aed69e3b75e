// makewizard: makes a wizard from a stub and a package folder.
#include "builder/Build.h"
#include "builder/Manifest.h"
#include "builder/Platform.h"
#include "builder/Refusal.h"
#include "resources/ResourceIds.h"

#include <algorithm>
#include <exception>

namespace {

const char kUsage[] =
    "Usage: makewizard build STUB PACKAGE_DIR OUTPUT.exe [--for-64bit-windows-only]\n"
    "\n"
    "Makes the wizard OUTPUT.exe from the stub (wizard-stub.exe) and a package folder\n"
    "(package.cmake, agreement.txt, program.ico and the three files it delivers).\n"
    "\n"
    "  --for-64bit-windows-only  the package is meant only for 64-bit Windows: its\n"
    "                            files may come to 1,800 MiB instead of 1,280 MiB";

int UsageError(const std::string &problem) {
  platform::PrintError("makewizard: " + problem + "\n\n" + kUsage);
  return 2;
}

} // namespace

int MakeWizardMain(const std::vector<std::string> &arguments) {
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    platform::PrintOut(kUsage);
    return 0;
  }
  if (arguments.size() == 1 && arguments[0] == "--version") {
    platform::PrintOut("makewizard for wizard stubs of format " + std::to_string(WIZARD_STUB_FORMAT));
    return 0;
  }
  if (arguments.empty() || arguments[0] != "build")
    return UsageError(arguments.empty() ? "no command given" : "unknown command \"" + arguments[0] + "\"");
  BuildRequest request;
  request.executionLevel = kDefaultExecutionLevel;
  std::vector<std::string> paths;
  const std::string levelOption = "--execution-level=";
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string &argument = arguments[i];
    if (argument == "--for-64bit-windows-only") {
      request.for64BitWindowsOnly = true;
    } else if (argument.compare(0, levelOption.size(), levelOption) == 0) {
      // For the tests, which run the wizard without elevation.
      request.executionLevel = argument.substr(levelOption.size());
      if (std::none_of(std::begin(kExecutionLevels), std::end(kExecutionLevels),
                       [&](const char *level) { return request.executionLevel == level; }))
        return UsageError("unknown execution level \"" + request.executionLevel + "\"");
    } else if (argument.size() > 1 && argument[0] == '-' && argument[1] == '-') {
      return UsageError("unknown option " + argument);
    } else {
      paths.push_back(argument);
    }
  }
  if (paths.size() != 3)
    return UsageError("build takes a stub, a package folder and an output file");
  request.stub = paths[0];
  request.packageDir = paths[1];
  request.output = paths[2];
  try {
    BuildWizard(request);
    return 0;
  } catch (const Refusal &refusal) {
    platform::PrintError(refusal.what());
  } catch (const std::exception &error) {
    platform::PrintError(std::string("makewizard failed: ") + error.what());
  }
  return 1;
}
