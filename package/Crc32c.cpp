#include "package/Crc32c.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define CRC32C_X86 1
#include <cpuid.h>
#include <nmmintrin.h>
#endif

namespace {

constexpr std::uint32_t kPolynomial = 0x82F63B78; // Castagnoli's, bits reversed

// Filled on first use: computed, they cost the program file nothing.
struct Tables {
  std::uint32_t byBytes[8][256];
  Tables() {
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t crc = n;
      for (int bit = 0; bit < 8; ++bit)
        crc = crc & 1 ? crc >> 1 ^ kPolynomial : crc >> 1;
      byBytes[0][n] = crc;
    }
    for (int k = 1; k < 8; ++k)
      for (std::uint32_t n = 0; n < 256; ++n)
        byBytes[k][n] = byBytes[k - 1][n] >> 8 ^ byBytes[0][byBytes[k - 1][n] & 0xFF];
  }
};

const Tables &TheTables() {
  static const Tables tables;
  return tables;
}

std::uint32_t Load32(const std::uint8_t *p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

// Each of the three streams a block is split into.
constexpr std::size_t kStreamBytes = 4096;

// What the register becomes when kStreamBytes of zeros follow it, built from
// the images of its 32 single bits (the register's step is linear), so that
// three streams computed side by side can be joined into one.
struct StreamShift {
  std::uint32_t ofBit[32];
  StreamShift() {
    const auto &t = TheTables().byBytes[0];
    for (int bit = 0; bit < 32; ++bit) {
      std::uint32_t crc = std::uint32_t{1} << bit;
      for (std::size_t i = 0; i < kStreamBytes; ++i)
        crc = t[crc & 0xFF] ^ crc >> 8;
      ofBit[bit] = crc;
    }
  }
  std::uint32_t operator()(std::uint32_t crc) const {
    std::uint32_t shifted = 0;
    for (int bit = 0; crc; ++bit, crc >>= 1)
      if (crc & 1)
        shifted ^= ofBit[bit];
    return shifted;
  }
};

// The register after three streams of one block, from each stream's own.
std::uint32_t JoinStreams(std::uint32_t first, std::uint32_t second, std::uint32_t third) {
  static const StreamShift shift;
  return shift(shift(first) ^ second) ^ third;
}

// Eight bytes at a time, each through its own table.
std::uint32_t TableStep(const Tables &tables, std::uint32_t crc, const std::uint8_t *p) {
  const auto &t = tables.byBytes;
  const std::uint32_t low = Load32(p) ^ crc, high = Load32(p + 4);
  return t[7][low & 0xFF] ^ t[6][low >> 8 & 0xFF] ^ t[5][low >> 16 & 0xFF] ^ t[4][low >> 24] ^
         t[3][high & 0xFF] ^ t[2][high >> 8 & 0xFF] ^ t[1][high >> 16 & 0xFF] ^ t[0][high >> 24];
}

std::uint32_t TableAdd(std::uint32_t crc, const std::uint8_t *p, std::size_t size) {
  const Tables &tables = TheTables();
  // Each step waits for the one before it: three streams side by side go
  // half again as fast as one.
  for (; size >= 3 * kStreamBytes; p += 3 * kStreamBytes, size -= 3 * kStreamBytes) {
    std::uint32_t first = crc, second = 0, third = 0;
    for (std::size_t i = 0; i < kStreamBytes; i += 8) {
      first = TableStep(tables, first, p + i);
      second = TableStep(tables, second, p + kStreamBytes + i);
      third = TableStep(tables, third, p + 2 * kStreamBytes + i);
    }
    crc = JoinStreams(first, second, third);
  }
  for (; size >= 8; p += 8, size -= 8)
    crc = TableStep(tables, crc, p);
  for (; size; ++p, --size)
    crc = tables.byBytes[0][(crc ^ *p) & 0xFF] ^ crc >> 8;
  return crc;
}

#ifdef CRC32C_X86

#if defined(__x86_64__)
using Word = unsigned long long;
__attribute__((target("sse4.2"))) std::uint32_t Step(std::uint32_t crc, Word word) {
  return static_cast<std::uint32_t>(_mm_crc32_u64(crc, word));
}
#else
using Word = unsigned int;
__attribute__((target("sse4.2"))) std::uint32_t Step(std::uint32_t crc, Word word) {
  return _mm_crc32_u32(crc, word);
}
#endif

Word LoadWord(const std::uint8_t *p) {
  Word word;
  __builtin_memcpy(&word, p, sizeof word);
  return word;
}

__attribute__((target("sse4.2"))) std::uint32_t
InstructionAdd(std::uint32_t crc, const std::uint8_t *p, std::size_t size) {
  // The instruction's latency is three cycles and it can start one each
  // cycle: three independent streams keep it busy.
  for (; size >= 3 * kStreamBytes; p += 3 * kStreamBytes, size -= 3 * kStreamBytes) {
    std::uint32_t first = crc, second = 0, third = 0;
    for (std::size_t i = 0; i < kStreamBytes; i += sizeof(Word)) {
      first = Step(first, LoadWord(p + i));
      second = Step(second, LoadWord(p + kStreamBytes + i));
      third = Step(third, LoadWord(p + 2 * kStreamBytes + i));
    }
    crc = JoinStreams(first, second, third);
  }
  for (; size >= sizeof(Word); p += sizeof(Word), size -= sizeof(Word))
    crc = Step(crc, LoadWord(p));
  for (; size; ++p, --size)
    crc = _mm_crc32_u8(crc, *p);
  return crc;
}

#endif

} // namespace

Crc32c::Method Crc32c::Best() {
#ifdef CRC32C_X86
  unsigned a, b, c, d;
  if (__get_cpuid(1, &a, &b, &c, &d) && (c & bit_SSE4_2))
    return Method::Instruction;
#endif
  return Method::Table;
}

void Crc32c::Add(const void *data, std::size_t size) {
  const auto *bytes = static_cast<const std::uint8_t *>(data);
#ifdef CRC32C_X86
  if (method_ == Method::Instruction) {
    state_ = InstructionAdd(state_, bytes, size);
    return;
  }
#endif
  state_ = TableAdd(state_, bytes, size);
}
