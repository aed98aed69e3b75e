// makewizard: makes a wizard from a stub and a package folder.
#include "builder/base/Refusal.h"
#include "builder/base/TextRules.h"
#include "builder/commands/Build.h"
#include "builder/commands/BuildPaths.h"
#include "builder/commands/Extract.h"
#include "builder/commands/Show.h"
#include "builder/commands/WizardReader.h"
#include "builder/package/PayloadCeilings.h"
#include "builder/pe/Manifest.h"
#include "builder/platform/Platform.h"
#include "resources/PackageFormat.h"

#include <algorithm>
#include <exception>
#include <map>

namespace {

const std::string kUsage =
    std::string("Usage: ") + kBuildSynopsis + " [--for-64bit-windows-only] [--overwrite]\n" +
    "       makewizard show WIZARD.exe [--json] [--trust ROOTS.pem]\n"
    "       makewizard extract WIZARD.exe DIR [--overwrite]\n"
    "\n"
    "build    makes the wizard OUTPUT.exe from the stub (wizard-stub.exe) and a package\n"
    "         folder (package.cmake, agreement.txt, program.ico and the three files it\n"
    "         delivers).\n"
    "           --for-64bit-windows-only  the package is meant only for 64-bit Windows:\n"
    "                                     its files may come to " +
    WithThousands(kPe32For64BitWindowsCeilingMiB) + " MiB instead of\n" +
    "                                     " + WithThousands(kPe32CeilingMiB) + " MiB\n" +
    "           --overwrite               replace OUTPUT.exe if it exists\n"
    "         Exit status 0 when the wizard was written, 1 when it was not (the\n"
    "         message says why), 2 for a mistake in the command.\n"
    "show     prints what a wizard carries: its files, each checked against the\n"
    "         SHA-256 digest the wizard stores, the owner's texts, the agreement, the\n"
    "         icon, who signed it and when, and whether the signature holds: the\n"
    "         file as it was signed, nothing outside the signature, the signer's and\n"
    "         the time stamp's signatures made with their certificates' keys.\n"
    "         Exit status 0 when every file is intact and the signature (if any)\n"
    "         holds, 1 when a file is damaged or the signature does not hold, 2 when\n"
    "         the file is not a wizard makewizard reads.\n"
    "           --json          the same facts as JSON\n"
    "           --trust ROOTS.pem  check that the signer's chain ends at one of\n"
    "                           these root certificates (makewizard.exe also asks\n"
    "                           Windows, whose trust needs no file)\n"
    "extract  writes the wizard's files into DIR (created if missing), each only when\n"
    "         it matches its stored digest. A wizard whose signature does not hold\n"
    "         is named first, and its files are still written. Exit status 0 when\n"
    "         all three were written from a wizard whose signature (if any) holds,\n"
    "         1 otherwise, 2 when the file is not a wizard.\n"
    "           --overwrite  replace files of the same names in DIR";

// Two lines at most: what is wrong, and where the whole usage is.
int UsageError(const std::string &problem) {
  platform::PrintError("makewizard: " + problem + "\nRun makewizard --help for how to use it.");
  return 2;
}

} // namespace

namespace {

// Each command's options; one ending in "=" takes a value.
const std::map<std::string, std::vector<std::string>> kOptions = {
    {"build", {"--for-64bit-windows-only", "--overwrite", "--execution-level=", "--cmake-build"}},
    {"show", {"--json", "--trust="}},
    {"extract", {"--overwrite"}}};

// The command's paths and options; an option it does not know refused.
bool Split(const std::vector<std::string> &arguments, std::vector<std::string> &paths,
           std::vector<std::string> &options, std::string &problem) {
  const std::vector<std::string> &known = kOptions.at(arguments[0]);
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string &argument = arguments[i];
    if (argument.compare(0, 2, "--") != 0) {
      paths.push_back(argument);
    } else if (std::find(known.begin(), known.end(), argument + "=") != known.end()) {
      // An option with a value also takes it as the next argument.
      if (i + 1 == arguments.size()) {
        problem = argument + " needs a value";
        return false;
      }
      options.push_back(argument + "=" + arguments[++i]);
    } else if (std::any_of(known.begin(), known.end(), [&](const std::string &option) {
                 return argument == option ||
                        (option.back() == '=' && argument.compare(0, option.size(), option) == 0);
               })) {
      options.push_back(argument);
    } else {
      problem = "unknown option " + argument;
      return false;
    }
  }
  return true;
}

bool Has(const std::vector<std::string> &options, const char *option) {
  return std::find(options.begin(), options.end(), option) != options.end();
}

int Build(const std::vector<std::string> &paths, const std::vector<std::string> &options) {
  if (paths.size() != 3)
    return UsageError("build takes a stub, a package folder and an output file, in that order (" +
                      std::to_string(paths.size()) + (paths.size() == 1 ? " was" : " were") +
                      " given)");
  BuildRequest request;
  request.executionLevel = kDefaultExecutionLevel;
  request.for64BitWindowsOnly = Has(options, "--for-64bit-windows-only");
  request.overwrite = Has(options, "--overwrite");
  // For the source tree's CMake build, which names its own options.
  request.cmakeBuild = Has(options, "--cmake-build");
  const std::string levelOption = "--execution-level=";
  for (const std::string &option : options)
    if (option.compare(0, levelOption.size(), levelOption) == 0) {
      // For the tests, which run the wizard without elevation.
      request.executionLevel = option.substr(levelOption.size());
      if (std::none_of(std::begin(kExecutionLevels), std::end(kExecutionLevels),
                       [&](const char *level) { return request.executionLevel == level; }))
        return UsageError("unknown execution level \"" + request.executionLevel + "\"");
    }
  request.stub = paths[0];
  request.packageDir = paths[1];
  request.output = paths[2];
  try {
    const BuiltWizard built = BuildWizard(request);
    platform::PrintOut("Wrote " + built.path + " (" + WithThousands(built.size) +
                       " bytes, SHA-256 " + Hex(built.digest) + ")");
    return 0;
  } catch (const Refusal &refusal) {
    platform::PrintError(refusal.what());
  } catch (const std::exception &error) {
    platform::PrintError(std::string("makewizard failed: ") + error.what());
  }
  return 1;
}

} // namespace

int MakeWizardMain(const std::vector<std::string> &arguments) {
  for (const std::string &argument : arguments)
    if (const std::string problem = platform::MisquotedArgument(argument); !problem.empty())
      return UsageError(problem);
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    platform::PrintOut(kUsage);
    return 0;
  }
  if (arguments.size() == 1 && arguments[0] == "--version") {
    platform::PrintOut("makewizard for wizard stubs of format " +
                       std::to_string(WIZARD_STUB_FORMAT));
    return 0;
  }
  if (arguments.empty())
    return UsageError("no command given");
  const std::string &command = arguments[0];
  if (!kOptions.count(command))
    return UsageError("unknown command \"" + command + "\"");
  std::vector<std::string> paths, options;
  std::string problem;
  if (!Split(arguments, paths, options, problem))
    return UsageError(problem);
  if (command == "build")
    return Build(paths, options);
  try {
    if (command == "show") {
      if (paths.size() != 1)
        return UsageError("show takes one wizard");
      const std::string trustOption = "--trust=";
      std::string trust;
      for (const std::string &option : options)
        if (option.compare(0, trustOption.size(), trustOption) == 0)
          trust = option.substr(trustOption.size());
      return ShowWizard(paths[0], Has(options, "--json"), trust);
    }
    if (paths.size() != 2)
      return UsageError("extract takes a wizard and a folder");
    return ExtractWizard(paths[0], paths[1], Has(options, "--overwrite"));
  } catch (const std::exception &error) {
    platform::PrintError(std::string("makewizard failed: ") + error.what());
    return kNotAWizard;
  }
}
