#include "package/Crc32c.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define CRC32C_X86 1
#include <cpuid.h>
#include <nmmintrin.h>
#include <x86intrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

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

// The register's value times b, modulo the polynomial, both in the
// register's bit order (bit 31 is x^0).
std::uint32_t Multiply(std::uint32_t a, std::uint32_t b) {
  std::uint32_t product = 0;
  for (std::uint32_t bit = std::uint32_t{1} << 31; bit; bit >>= 1) {
    if (a & bit)
      product ^= b;
    b = b & 1 ? b >> 1 ^ kPolynomial : b >> 1; // b times x
  }
  return product;
}

// x to the power 8n: what n zero bytes do to the register.
std::uint32_t ZeroBytesFactor(std::uint64_t n) {
  std::uint32_t factor = std::uint32_t{1} << 31, power = std::uint32_t{1} << 23; // 1, x^8
  for (; n; n >>= 1, power = Multiply(power, power))
    if (n & 1)
      factor = Multiply(factor, power);
  return factor;
}

// Each of the three streams a block is split into.
constexpr std::size_t kStreamBytes = 4096;

// The register after three streams of one block, from each stream's own:
// the register is linear, so each is moved past the streams after it.
std::uint32_t JoinStreams(std::uint32_t first, std::uint32_t second, std::uint32_t third) {
  static const std::uint32_t pastStream = ZeroBytesFactor(kStreamBytes);
  return Multiply(Multiply(first, pastStream) ^ second, pastStream) ^ third;
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

// Folding. The checksum depends only on the message read as a polynomial,
// modulo the checksum's own. These six powers of x add up to a multiple of
// it (a search over sums of x^(128k), k < 400, found them):
//   x^(128*209) + x^(128*144) + x^(128*54) + x^(128*39) + x^(128*14) + 1
// So a 16-byte block may become zeros if it is added (exclusive-or) to the
// blocks 65, 155, 170, 195 and 209 places after it: the checksum does not
// change. Every block but the last 209 is carried forward so; put the other
// way, each block takes in the five at those distances before it, with six
// loads and five exclusive-ors, a third of the table's look-ups. The table
// sums the last 209 blocks, once, when the value is asked for.
constexpr std::size_t kDistances[] = {65, 155, 170, 195, 209};
constexpr std::size_t kBlock = Crc32c::kBlockBytes;
static_assert(Crc32c::kReach == kDistances[4] && Crc32c::kKeptBlocks > 2 * Crc32c::kReach);

// Folds a run of blocks into `into`, below which the blocks before them lie
// (so the indices are signed: they reach below it).
#ifdef CRC32C_X86
// Every load and store unaligned: the blocks may lie on a stack that 32-bit
// Windows aligns to 4 bytes only, where an aligned one faults. On aligned
// addresses they cost the same.
__attribute__((target("sse2"))) inline __m128i LoadBlock(const std::uint8_t *p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
}

__attribute__((target("sse2"))) void FoldRun(std::uint8_t *into, const std::uint8_t *p,
                                             std::size_t blocks) {
  constexpr auto kBack = [](std::size_t distance) {
    return -static_cast<std::ptrdiff_t>(distance * kBlock);
  };
  for (std::size_t i = 0; i < blocks; ++i, p += kBlock, into += kBlock) {
    const __m128i sum = _mm_xor_si128(
        _mm_xor_si128(_mm_xor_si128(LoadBlock(p), LoadBlock(into + kBack(kDistances[0]))),
                      LoadBlock(into + kBack(kDistances[1]))),
        _mm_xor_si128(_mm_xor_si128(LoadBlock(into + kBack(kDistances[2])),
                                    LoadBlock(into + kBack(kDistances[3]))),
                      LoadBlock(into + kBack(kDistances[4]))));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(into), sum);
  }
}
#else
void FoldRun(std::uint8_t *into, const std::uint8_t *p, std::size_t blocks) {
  for (std::ptrdiff_t i = 0; i < static_cast<std::ptrdiff_t>(blocks); ++i, p += kBlock) {
    std::uint64_t half[2], add;
    std::memcpy(half, p, kBlock);
    for (const std::size_t distance : kDistances)
      for (int h = 0; h < 2; ++h) {
        std::memcpy(
            &add,
            into + (i - static_cast<std::ptrdiff_t>(distance)) * std::ptrdiff_t{kBlock} + 8 * h, 8);
        half[h] ^= add;
      }
    std::memcpy(into + i * std::ptrdiff_t{kBlock}, half, kBlock);
  }
}
#endif

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

#ifdef CRC32C_X86
// The instruction takes four bytes at a time in a 32-bit program, eight in
// a 64-bit one; folding is held back only by its loads. Which is faster
// turns on how many loads the processor makes at once (small cores: one),
// so the two add the same zeros here, best of three, once.
Crc32c::Method Faster(Crc32c::Method first, Crc32c::Method second) {
  const std::vector<std::uint8_t> zeros(128 * 1024);
  const auto cycles = [&](Crc32c::Method method) {
    unsigned long long fewest = ~0ull;
    for (int round = 0; round < 3; ++round) {
      Crc32c crc(method);
      const unsigned long long start = __rdtsc();
      crc.Add(zeros.data(), zeros.size());
      fewest = std::min(fewest, __rdtsc() - start);
      volatile std::uint32_t value = crc.Value();
      (void)value;
    }
    return fewest;
  };
  return cycles(second) < cycles(first) ? second : first;
}
#endif

} // namespace

Crc32c::Method Crc32c::Best() {
  static const Method best = [] {
#ifdef CRC32C_X86
    unsigned a, b, c, d;
    if (__get_cpuid(1, &a, &b, &c, &d)) {
      if (c & bit_SSE4_2)
        return Faster(Method::Instruction, Method::Folding);
      if (d & bit_SSE2)
        return Method::Folding;
    }
#endif
    return Method::Table;
  }();
  return best;
}

void Crc32c::Add(const void *data, std::size_t size) {
  const auto *bytes = static_cast<const std::uint8_t *>(data);
  if (method_ == Method::Folding) {
    Folded &f = folded_;
    if (f.pendingBytes) {
      const std::size_t taken = std::min(size, kBlock - f.pendingBytes);
      std::memcpy(f.pending + f.pendingBytes, bytes, taken);
      f.pendingBytes += taken, bytes += taken, size -= taken;
      if (f.pendingBytes < kBlock)
        return;
      f.pendingBytes = 0;
      Fold(f.pending, 1);
    }
    Fold(bytes, size / kBlock);
    f.pendingBytes = size % kBlock;
    std::memcpy(f.pending, bytes + size / kBlock * kBlock, f.pendingBytes);
    return;
  }
#ifdef CRC32C_X86
  if (method_ == Method::Instruction) {
    state_ = InstructionAdd(state_, bytes, size);
    return;
  }
#endif
  state_ = TableAdd(state_, bytes, size);
}

void Crc32c::Fold(const std::uint8_t *bytes, std::size_t blocks) {
  Folded &f = folded_;
  while (blocks) {
    if (f.used == kKeptBlocks) {
      std::memmove(f.blocks, f.blocks[kKeptBlocks - kReach], kReach * kBlock);
      f.used = kReach;
    }
    const std::size_t run = std::min(blocks, kKeptBlocks - f.used);
    FoldRun(f.blocks[f.used], bytes, run);
    f.used += run, f.count += run, bytes += run * kBlock, blocks -= run;
  }
}

std::uint32_t Crc32c::Value() const {
  if (method_ != Method::Folding)
    return ~state_;
  // The last blocks as the message's own would be with only the ones before
  // them carried forward: each took in every earlier one within reach.
  const Folded &f = folded_;
  const std::size_t last = static_cast<std::size_t>(std::min<std::uint64_t>(f.count, kReach));
  const std::uint8_t(*folded)[kBlock] = f.blocks + (f.used - last);
  std::uint8_t rest[kReach][kBlock];
  for (std::size_t n = 0; n < last; ++n) {
    std::memcpy(rest[n], folded[n], kBlock);
    for (const std::size_t distance : kDistances)
      if (n >= distance)
        for (std::size_t i = 0; i < kBlock; ++i)
          rest[n][i] ^= folded[n - distance][i];
  }
  // Blocks that became zeros leave the register as zero did; the register
  // it started from only moves past every byte.
  std::uint32_t crc = TableAdd(0, rest[0], last * kBlock);
  crc = TableAdd(crc, f.pending, f.pendingBytes);
  return ~(Multiply(state_, ZeroBytesFactor(f.count * kBlock + f.pendingBytes)) ^ crc);
}
