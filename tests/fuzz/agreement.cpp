// agreement.txt as a build reads it: UTF-8 or UTF-16, its lines made CR LF.
#include "builder/package/Agreement.h"
#include "builder/base/Refusal.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  try {
    AgreementText("agreement.txt", std::string(reinterpret_cast<const char *>(data), size));
  } catch (const Refusal &) {
  }
  return 0;
}
