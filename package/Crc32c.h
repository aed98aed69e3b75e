// CRC-32C (Castagnoli; reflected, initial value and final mask all ones):
// the checksum that tells the wizard its payload arrived undamaged. It is
// made to catch a broken download or a failing disk, which is all the run
// asks of it (the Authenticode signature guards against intent), and runs
// at memory speed: with the SSE4.2 instruction, which every x86 processor
// since 2008-2013 has (Nehalem, Bulldozer, Silvermont), or by folding with
// SSE2, which the processors before them have and which beats the
// instruction in a 32-bit program on cores that make two loads at once.
// Portable C++: makewizard, which stores it, and the wizard, which checks
// it, share it.
#pragma once

#include <cstddef>
#include <cstdint>

class Crc32c {
public:
  enum class Method {
    Instruction, // SSE4.2's crc32, three streams at once
    Folding,     // SSE2 exclusive-ors that leave the sum the same, then the table
    Table,       // eight table look-ups per eight bytes, for the oldest processors
  };
  // The fastest this processor has (CPUID; the instruction and folding,
  // both there, are timed).
  static Method Best();

  explicit Crc32c(Method method = Best()) : method_(method) {}
  void Add(const void *data, std::size_t size);
  std::uint32_t Value() const;

  // Folding's 16-byte blocks: the farthest one is carried, and how many
  // are kept so that a run of them can be folded before the last ones are
  // moved to the front.
  static constexpr std::size_t kBlockBytes = 16, kReach = 209, kKeptBlocks = 1024;

private:
  Method method_;
  std::uint32_t state_ = ~std::uint32_t{0};
  // Folding only: blocks as folded (the first kReach stand for the blocks
  // before the message: zeros), and the bytes short of a block.
  struct Folded {
    // No alignment asked: the object may lie on a stack aligned to 4 bytes.
    std::uint8_t blocks[kKeptBlocks][kBlockBytes];
    std::size_t used = kReach;
    std::uint64_t count;
    std::uint8_t pending[kBlockBytes];
    std::size_t pendingBytes;
  };
  Folded folded_{};
  void Fold(const std::uint8_t *bytes, std::size_t blocks);
};
