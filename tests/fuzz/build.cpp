// makewizard build with any file as the stub and a small valid package:
// the stub's headers, layout, marker and resources checked, and a wizard
// written of whatever passes.
#include "builder/commands/Build.h"
#include "InputFile.h"
#include "builder/base/Refusal.h"
#include "builder/pe/Manifest.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

void Write(const std::string &path, const std::string &content) {
  std::ofstream file(path, std::ios::binary);
  file << content;
  if (!file)
    std::abort();
}

std::string Read(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  if (!file || content.str().empty())
    std::abort();
  return content.str();
}

// A folder with the package and one for the output, made once.
const std::string &Folder() {
  static const std::string folder = [] {
    const std::string name = ScratchFolder();
    if (mkdir((name + "/package").c_str(), 0777) != 0 || mkdir((name + "/out").c_str(), 0777) != 0)
      std::abort();
    const std::string package = name + "/package/";
    Write(package + "package.cmake", "set(PACKAGE_COMPANY_NAME \"Fuzz Ltd.\")\n"
                                     "set(PACKAGE_LEGAL_COPYRIGHT \"(C) Fuzz\")\n"
                                     "set(PACKAGE_IDENTITY_NAME \"Fuzz.Package\")\n");
    Write(package + "agreement.txt", "Licence\r\n");
    Write(package + "program.ico", Read(FUZZ_ICON));
    for (const char *payload : {"VELNORIX410aE.exe", "VELNORIX_User'sManual.pdf", "ReadMe_E.txt"})
      Write(package + payload, payload);
    return name;
  }();
  return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  BuildRequest request;
  request.stub = InputFile(data, size);
  request.packageDir = Folder() + "/package";
  request.output = Folder() + "/out/Setup.exe";
  request.overwrite = true;
  request.executionLevel = kDefaultExecutionLevel;
  // Only refusals are expected; anything else thrown is a fault.
  try {
    BuildWizard(request);
  } catch (const Refusal &) {
  }
  return 0;
}
