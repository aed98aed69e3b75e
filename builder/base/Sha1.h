// SHA-1 fed a chunk at a time: older Authenticode signatures, and the
// SHA-1 half of a dual signature, name the file by it.
#pragma once

#include "builder/base/BlockFeed.h"

#include <array>
#include <cstddef>
#include <cstdint>

using Sha1Digest = std::array<std::uint8_t, 20>;

class Sha1 {
public:
  void Add(const std::uint8_t *data, std::size_t size);
  Sha1Digest Finish();

private:
  void Block(const std::uint8_t *block);

  std::uint32_t state_[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  BlockFeed<64> feed_;
};
