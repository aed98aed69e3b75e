// program.ico as a build reads it, and the icon directory it writes read
// back as show reads one; the input read as such a directory too.
#include "builder/package/Icon.h"
#include "builder/base/Refusal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  try {
    const std::vector<IconImage> images =
        ReadIcon("program.ico", std::string(reinterpret_cast<const char *>(data), size));
    if (ReadIconGroup(IconGroup(images, 1)).size() != images.size())
      __builtin_trap();
  } catch (const Refusal &) {
  }
  try {
    ReadIconGroup(Bytes(data, data + size));
  } catch (const std::runtime_error &) {
  }
  return 0;
}
