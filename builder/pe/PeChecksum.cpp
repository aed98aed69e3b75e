#include "builder/pe/PeChecksum.h"

#include "builder/base/Bytes.h"

namespace {

// A one's-complement sum of 16-bit words is the same whether the words are
// added one by one or as 32-bit pairs, folded at the end.
std::uint64_t Fold(std::uint64_t sum) {
  while (sum >> 16)
    sum = (sum & 0xFFFF) + (sum >> 16);
  return sum;
}

} // namespace

void PeChecksum::Add(const std::uint8_t *data, std::size_t size) {
  // A piece that starts at an odd offset puts its first byte in the high
  // half of a word: add it shifted, and go on word-aligned.
  if (length_ % 2 && size) {
    sum_ += std::uint64_t(*data) << 8;
    ++data;
    --size;
    ++length_;
  }
  length_ += size;
  std::uint64_t sum = 0;
  for (; size >= 4; data += 4, size -= 4)
    sum += Le32(data);
  if (size >= 2) {
    sum += Le16(data);
    data += 2;
    size -= 2;
  }
  if (size)
    sum += *data;
  sum_ = Fold(sum_ + Fold(sum));
}

std::uint32_t PeChecksum::Finish() const {
  return static_cast<std::uint32_t>(Fold(sum_) + length_);
}
