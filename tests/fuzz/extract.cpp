// makewizard extract on any file, into a folder of its own: the wizard
// reader again, then each item streamed, checked and written or refused.
#include "builder/commands/Extract.h"
#include "InputFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  // Refusals are statuses; anything thrown is a fault.
  ExtractWizard(InputFile(data, size), ScratchFolder(), true);
  return 0;
}
