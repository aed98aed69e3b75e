// makewizard extract on any file, into a folder of its own: the wizard
// reader again, then each item streamed, checked and written or refused.
#include "builder/commands/Extract.h"
#include "InputFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static const std::string folder = [] {
    char name[] = "/tmp/fuzz-extract-XXXXXX";
    if (!mkdtemp(name))
      std::abort();
    return std::string(name);
  }();
  // Refusals are statuses; anything thrown is a fault.
  ExtractWizard(InputFile(data, size), folder, true);
  return 0;
}
