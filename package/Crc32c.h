// CRC-32C (Castagnoli; reflected, initial value and final mask all ones):
// the checksum that tells the wizard its payload arrived undamaged. It is
// made to catch a broken download or a failing disk, which is all the run
// asks of it (the Authenticode signature guards against intent), and runs
// at memory speed with the SSE4.2 instruction, which every x86 processor
// since 2008-2013 has (Nehalem, Bulldozer, Silvermont). Portable C++:
// makewizard, which stores it, and the wizard, which checks it, share it.
#pragma once

#include <cstddef>
#include <cstdint>

class Crc32c {
public:
  enum class Method {
    Instruction, // SSE4.2's crc32, three streams at once
    Table,       // eight table look-ups per eight bytes, for older processors
  };
  // The instruction where this processor has it (CPUID), else the table.
  static Method Best();

  explicit Crc32c(Method method = Best()) : method_(method) {}
  void Add(const void *data, std::size_t size);
  std::uint32_t Value() const { return ~state_; }

private:
  Method method_;
  std::uint32_t state_ = ~std::uint32_t{0};
};
