// The fold with AVX-512 (F and BW), compiled for that target only; FoldWords calls it
// only when the processor has it.

#include "content/fold.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <cstdint>

// GCC 12's AVX-512 intrinsics start from a deliberately undefined value, which its
// flow analysis then reports.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace content::fold_kernels {

namespace {

#define CHECKER_AVX512 __attribute__((target("avx512f,avx512bw"), always_inline)) inline

// One vector of 32 words, none of them 0, into the 16 residues of its stream.
CHECKER_AVX512 __m512i Multiply(__m512i v, __m512i acc, __m512i low16, __m512i one32) {
  // Pairs of words multiplied into 32-bit lanes: below 2^32, exact.
  const __m512i pairs = _mm512_mullo_epi32(_mm512_and_si512(v, low16), _mm512_srli_epi32(v, 16));
  // Even and odd lanes times their accumulators: 64-bit products.
  const __m512i even = _mm512_mul_epu32(acc, pairs);
  const __m512i odd = _mm512_mul_epu32(_mm512_srli_epi64(acc, 32), _mm512_srli_epi64(pairs, 32));
  // x mod (2^32 - 1) = low half + high half, plus one when that sum carries; the two
  // halves of both products are gathered into 32-bit lanes so that one add serves both.
  const __m512i low = _mm512_mask_shuffle_epi32(even, 0xaaaa, odd, _MM_PERM_CCAA);
  const __m512i high = _mm512_mask_shuffle_epi32(odd, 0x5555, even, _MM_PERM_DDBB);
  const __m512i sum = _mm512_add_epi32(low, high);
  return _mm512_mask_add_epi32(sum, _mm512_cmplt_epu32_mask(sum, low), sum, one32);
}

// The same for any words: zero words become 1 and are counted (per 16-bit lane) to be
// multiplied in afterwards.
CHECKER_AVX512 __m512i Step(__m512i v, __m512i acc, __m512i* zeros, __m512i low16, __m512i one16,
                            __m512i one32) {
  const __mmask32 zero_mask = _mm512_cmpeq_epi16_mask(v, _mm512_setzero_si512());
  *zeros = _mm512_mask_add_epi16(*zeros, zero_mask, *zeros, one16);
  return Multiply(_mm512_mask_mov_epi16(v, zero_mask, one16), acc, low16, one32);
}

CHECKER_AVX512 uint64_t SumCounts(__m512i zeros) {
  const __m512i sums = _mm512_madd_epi16(zeros, _mm512_set1_epi16(1));
  return static_cast<uint64_t>(_mm512_reduce_add_epi32(sums));
}

CHECKER_AVX512 uint64_t Combine(__m512i acc, uint64_t product) {
  alignas(64) uint32_t lanes[16];
  _mm512_store_si512(lanes, acc);
  for (uint32_t lane : lanes) product = MulMod(product, lane);
  return product;
}

#undef CHECKER_AVX512

}  // namespace

__attribute__((target("avx512f,avx512bw"))) void Avx512(const uint8_t* data, size_t words,
                                                        FoldState* state) {
  const __m512i low16 = _mm512_set1_epi32(0xffff);
  const __m512i one16 = _mm512_set1_epi16(1);
  const __m512i one32 = _mm512_set1_epi32(1);
  // Four streams of 64 bytes each hide the latency of multiply and fold.
  __m512i acc[4] = {one32, one32, one32, one32};
  uint64_t zero_words = 0;
  constexpr size_t kWordsPerRound = 128;
  // The 16-bit counters gain at most 4 per round; flush them well before they wrap.
  constexpr size_t kRoundsPerBlock = 4096;
  while (words >= kWordsPerRound) {
    size_t rounds = words / kWordsPerRound;
    if (rounds > kRoundsPerBlock) rounds = kRoundsPerBlock;
    __m512i zeros = _mm512_setzero_si512();
    for (size_t r = 0; r < rounds; ++r) {
      const __m512i v0 = _mm512_loadu_si512(data);
      const __m512i v1 = _mm512_loadu_si512(data + 64);
      const __m512i v2 = _mm512_loadu_si512(data + 128);
      const __m512i v3 = _mm512_loadu_si512(data + 192);
      // Most data has no zero word in a round: then the words go straight in.
      const __mmask32 any_zero = _mm512_testn_epi16_mask(v0, v0) | _mm512_testn_epi16_mask(v1, v1) |
                                 _mm512_testn_epi16_mask(v2, v2) | _mm512_testn_epi16_mask(v3, v3);
      if (any_zero == 0) {
        acc[0] = Multiply(v0, acc[0], low16, one32);
        acc[1] = Multiply(v1, acc[1], low16, one32);
        acc[2] = Multiply(v2, acc[2], low16, one32);
        acc[3] = Multiply(v3, acc[3], low16, one32);
      } else {
        acc[0] = Step(v0, acc[0], &zeros, low16, one16, one32);
        acc[1] = Step(v1, acc[1], &zeros, low16, one16, one32);
        acc[2] = Step(v2, acc[2], &zeros, low16, one16, one32);
        acc[3] = Step(v3, acc[3], &zeros, low16, one16, one32);
      }
      data += 256;
    }
    words -= rounds * kWordsPerRound;
    zero_words += SumCounts(zeros);
  }
  uint64_t product = state->product;
  for (const __m512i& a : acc) product = Combine(a, product);
  state->product = product;
  state->zero_words += zero_words;
  // The rest (under 128 words) still goes through AVX2 when it is worth it.
  if (words > 0) Avx2(data, words, state);
}

}  // namespace content::fold_kernels

#else

namespace content::fold_kernels {

void Avx512(const uint8_t* data, size_t words, FoldState* state) { Scalar(data, words, state); }

}  // namespace content::fold_kernels

#endif
