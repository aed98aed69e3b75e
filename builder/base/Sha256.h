// SHA-256 fed a chunk at a time: the digests the wizard checks each
// payload file against before it delivers it.
#pragma once

#include "builder/base/BlockFeed.h"

#include <array>
#include <cstddef>
#include <cstdint>

using Digest = std::array<std::uint8_t, 32>;

class Sha256 {
public:
  void Add(const std::uint8_t *data, std::size_t size);
  Digest Finish();

  // The round constants, for both implementations.
  static const std::uint32_t kRoundConstants[64];
  // Whether the processor has the x86 SHA extensions (checked once).
  static bool HasX86Extensions();

private:
  void Blocks(const std::uint8_t *data, std::size_t blocks);
  void Block(const std::uint8_t *block);
  void X86Blocks(const std::uint8_t *data, std::size_t blocks);

  std::uint32_t state_[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                             0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  BlockFeed<64> feed_;
};
