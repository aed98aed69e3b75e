// package.cmake as a build reads it, line by line, without running CMake.
#include "builder/PackageCmake.h"
#include "builder/Refusal.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  try {
    ReadPackageCmake("package.cmake", std::string(reinterpret_cast<const char *>(data), size));
  } catch (const Refusal &) {
  }
  return 0;
}
