// SHA-256 rounds with the x86 SHA extensions, where the processor has them:
// several times the portable code's speed, which is most of makewizard's
// time on a large package.
#include "builder/base/Sha256.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))

#include <cpuid.h>
#include <immintrin.h>

bool Sha256::HasX86Extensions() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_SSE4_1) || !(c & bit_SSSE3))
    return false;
  return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & (1u << 29));
}

__attribute__((target("sha,sse4.1"))) void Sha256::X86Blocks(const std::uint8_t *data,
                                                             std::size_t blocks) {
  const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  // The state as the instructions take it: ABEF and CDGH.
  __m128i cdab =
      _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(&state_[0])), 0xB1);
  __m128i efgh =
      _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(&state_[4])), 0x1B);
  __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
  for (; blocks; --blocks, data += 64) {
    const __m128i abefBefore = abef, cdghBefore = cdgh;
    __m128i w[4];
    for (int i = 0; i < 16; ++i) {
      __m128i words;
      if (i < 4) {
        words = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(data + 16 * i)),
                                 byteSwap);
      } else {
        words = _mm_sha256msg1_epu32(w[i & 3], w[(i - 3) & 3]);
        words = _mm_add_epi32(words, _mm_alignr_epi8(w[(i - 1) & 3], w[(i - 2) & 3], 4));
        words = _mm_sha256msg2_epu32(words, w[(i - 1) & 3]);
      }
      w[i & 3] = words;
      const __m128i sum = _mm_add_epi32(
          words, _mm_loadu_si128(reinterpret_cast<const __m128i *>(&kRoundConstants[4 * i])));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, sum);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(sum, 0x0E));
    }
    abef = _mm_add_epi32(abef, abefBefore);
    cdgh = _mm_add_epi32(cdgh, cdghBefore);
  }
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i *>(&state_[0]), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i *>(&state_[4]), _mm_alignr_epi8(dchg, feba, 8));
}

#else

bool Sha256::HasX86Extensions() { return false; }
void Sha256::X86Blocks(const std::uint8_t *, std::size_t) {}

#endif
