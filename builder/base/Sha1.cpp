#include "builder/base/Sha1.h"


namespace {

inline std::uint32_t Rotl(std::uint32_t x, int n) { return x << n | x >> (32 - n); }

} // namespace

void Sha1::Block(const std::uint8_t *block) {
  std::uint32_t w[80];
  for (int i = 0; i < 16; ++i)
    w[i] = std::uint32_t(block[4 * i]) << 24 | std::uint32_t(block[4 * i + 1]) << 16 |
           std::uint32_t(block[4 * i + 2]) << 8 | block[4 * i + 3];
  for (int i = 16; i < 80; ++i)
    w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3], e = state_[4];
  for (int i = 0; i < 80; ++i) {
    std::uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    const std::uint32_t t = Rotl(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = Rotl(b, 30);
    b = a;
    a = t;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
  state_[4] += e;
}

void Sha1::Add(const std::uint8_t *data, std::size_t size) {
  feed_.Add(data, size, [this](const std::uint8_t *blocks, std::size_t count) {
    for (; count; --count, blocks += 64)
      Block(blocks);
  });
}

Sha1Digest Sha1::Finish() {
  feed_.Finish([this](const std::uint8_t *blocks, std::size_t count) {
    for (; count; --count, blocks += 64)
      Block(blocks);
  });
  Sha1Digest digest;
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 4; ++j)
      digest[4 * i + j] = static_cast<std::uint8_t>(state_[i] >> (24 - 8 * j));
  return digest;
}
