// The PE image checksum, summed as the file is written: 16-bit words added
// with end-around carry, plus the file's length. The checksum field itself
// must be fed as zeros.
#pragma once

#include <cstddef>
#include <cstdint>

class PeChecksum {
public:
  void Add(const std::uint8_t *data, std::size_t size);
  std::uint32_t Finish() const;

private:
  std::uint64_t sum_ = 0;
  std::uint64_t length_ = 0;
};
