// The program's entry on POSIX systems: the arguments are UTF-8 already.
#include "builder/platform/Platform.h"

int main(int argc, char **argv) {
  return MakeWizardMain(std::vector<std::string>(argv + 1, argv + argc));
}
