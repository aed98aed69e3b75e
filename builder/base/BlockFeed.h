// What SHA-1, SHA-256 and SHA-512 share: the message fed a chunk at a time
// and handed on in whole blocks, and at its end padded with 0x80, zeros and
// its length in bits, big-endian, in the last eighth of a block.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

template <std::size_t kBlockBytes> class BlockFeed {
public:
  // Hands every whole block to `blocks(data, count)`.
  template <typename Blocks> void Add(const std::uint8_t *data, std::size_t size, Blocks &&blocks) {
    totalBytes_ += size;
    if (pendingSize_) {
      const std::size_t take = std::min(size, kBlockBytes - pendingSize_);
      std::memcpy(pending_ + pendingSize_, data, take);
      pendingSize_ += take, data += take, size -= take;
      if (pendingSize_ < kBlockBytes)
        return;
      blocks(static_cast<const std::uint8_t *>(pending_), std::size_t{1});
      pendingSize_ = 0;
    }
    blocks(data, size / kBlockBytes);
    pendingSize_ = size % kBlockBytes;
    std::memcpy(pending_, data + size / kBlockBytes * kBlockBytes, pendingSize_);
  }

  // The padding and the length, through the same blocks. The length field
  // is 8 or 16 bytes; its high half stays zero, as no file read reaches
  // 2^61 bytes.
  template <typename Blocks> void Finish(Blocks &&blocks) {
    constexpr std::size_t kLengthBytes = kBlockBytes / 8;
    const std::uint64_t bits = totalBytes_ * 8;
    std::uint8_t padding[kBlockBytes + kLengthBytes] = {0x80};
    const std::size_t zeros = (2 * kBlockBytes - kLengthBytes - 1 - pendingSize_) % kBlockBytes;
    for (std::size_t i = 0; i < 8; ++i)
      padding[1 + zeros + kLengthBytes - 1 - i] = static_cast<std::uint8_t>(bits >> (8 * i));
    Add(padding, 1 + zeros + kLengthBytes, blocks);
  }

private:
  std::uint8_t pending_[kBlockBytes] = {};
  std::size_t pendingSize_ = 0;
  std::uint64_t totalBytes_ = 0;
};
