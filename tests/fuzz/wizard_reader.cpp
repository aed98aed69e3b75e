// makewizard show on any file: the wizard reader (headers, resource
// directory, version record, manifest, agreement, icon directory,
// signature) and both of show's outputs.
#include "InputFile.h"
#include "builder/commands/Show.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string &path = InputFile(data, size);
  ShowWizard(path, false);
  ShowWizard(path, true);
  return 0;
}
