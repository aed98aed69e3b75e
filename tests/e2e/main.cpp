// End-to-end tests: the built program under Wine, driven from outside.
//   e2e_tests --wizard=PROGRAM --payload=FOLDER --screenshots=FOLDER
// Paths may be given as Unix paths; Wine shows the root as drive Z:.
#include "WizardDriver.h"

#include <gtest/gtest.h>

namespace {

std::wstring WindowsPath(const std::string &path) {
  std::wstring wide(path.begin(), path.end());
  for (wchar_t &c : wide)
    if (c == L'/')
      c = L'\\';
  return wide.starts_with(L"\\") ? L"Z:" + wide : wide;
}

} // namespace

int main(int argc, char **argv) {
  testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    for (auto [flag, target] : {std::pair{"--wizard=", &options.wizard},
                                {"--undefended=", &options.undefended},
                                {"--preloading=", &options.preloading},
                                {"--planted-dll=", &options.plantedDll},
                                {"--payload=", &options.payload},
                                {"--screenshots=", &options.screenshots}})
      if (argument.rfind(flag, 0) == 0)
        *target = WindowsPath(argument.substr(std::string(flag).size()));
  }
  return RUN_ALL_TESTS();
}
