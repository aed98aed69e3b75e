// The checksum as a 32-bit program runs it on the stacks 32-bit Windows may
// call a window procedure on: every method, on stacks moved by 0, 4, 8 and
// 12 bytes, against the definition. Natively, so that a host without 32-bit
// Wine still runs it; built without the stack realignment the wizard's build
// adds, so that the checksum itself must need no alignment.
#include "tests/support/Crc32cChecks.h"

#include <cstdio>

namespace {

int failures = 0;

void CheckEveryMethod() {
  std::mt19937 lengths(31);
  for (std::uint32_t round = 0; round < 8; ++round) {
    const auto message = RandomBytes(lengths() % (96 * 1024), round);
    for (const Crc32c::Method method : MethodsHere()) {
      Crc32c crc(method);
      crc.Add(message.data(), message.size());
      if (crc.Value() != ReferenceCrc32c(message)) {
        std::printf("method %d, %zu bytes: %08x\n", static_cast<int>(method), message.size(),
                    crc.Value());
        ++failures;
      }
    }
  }
}

} // namespace

int main() {
  for (const std::size_t shift : {0, 4, 8, 12}) {
    std::printf("stack moved by %zu\n", shift);
    std::fflush(stdout);
    OnShiftedStack(shift, CheckEveryMethod);
  }
  std::printf("%d failed\n", failures);
  return failures != 0;
}
