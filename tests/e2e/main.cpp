// End-to-end tests: the built program under Wine, driven from outside.
//   e2e_tests --wizard=PROGRAM --payload=FOLDER --screenshots=FOLDER
// Paths may be given as Unix paths; Wine shows the root as drive Z:.
#include "Options.h"
#include "driver/Files.h"

#include <gtest/gtest.h>

E2eOptions options;

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
