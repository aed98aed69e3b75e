// SHA-512 and SHA-384 (SHA-512 from other initial values, cut to 48 bytes)
// fed a chunk at a time: signatures and certificate chains made with them.
#pragma once

#include "builder/base/BlockFeed.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class Sha512 {
public:
  // SHA-384 when `sha384`.
  explicit Sha512(bool sha384 = false);
  void Add(const std::uint8_t *data, std::size_t size);
  std::vector<std::uint8_t> Finish();

private:
  void Block(const std::uint8_t *block);

  bool sha384_;
  std::uint64_t state_[8];
  BlockFeed<128> feed_;
};
