// package.cmake as a build reads it, line by line, without running CMake.
#include "builder/base/Refusal.h"
#include "builder/package/PackageCmake.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  try {
    ReadPackageCmake("package.cmake", std::string(reinterpret_cast<const char *>(data), size));
  } catch (const Refusal &) {
  }
  return 0;
}
