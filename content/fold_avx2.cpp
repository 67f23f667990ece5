// The fold with AVX2, compiled for that target only; FoldWords calls it only when the
// processor has it.

#include "content/fold.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <cstdint>

namespace content::fold_kernels {

namespace {

#define CHECKER_AVX2 __attribute__((target("avx2"), always_inline)) inline

// Per 64-bit lane: the low 32 bits of the result are x mod 4294967295 in 0 ... 2^32-1
// (congruent, folded twice); the high bits are left over, which vpmuludq ignores.
CHECKER_AVX2 __m256i Fold64(__m256i x, __m256i low32) {
  const __m256i s = _mm256_add_epi64(_mm256_and_si256(x, low32), _mm256_srli_epi64(x, 32));
  return _mm256_add_epi64(s, _mm256_srli_epi64(s, 32));
}

// One vector of 16 words into the two accumulators of its stream. Zero words become 1
// and are counted (per 16-bit lane) to be multiplied in afterwards.
CHECKER_AVX2 void Step(__m256i v, __m256i* even, __m256i* odd, __m256i* zeros, __m256i low16,
                       __m256i low32, __m256i one16) {
  *zeros = _mm256_sub_epi16(*zeros, _mm256_cmpeq_epi16(v, _mm256_setzero_si256()));
  v = _mm256_max_epu16(v, one16);
  // Pairs of words multiplied into 32-bit lanes: below 2^32, exact.
  const __m256i pairs = _mm256_mullo_epi32(_mm256_and_si256(v, low16), _mm256_srli_epi32(v, 16));
  *even = Fold64(_mm256_mul_epu32(*even, pairs), low32);
  *odd = Fold64(_mm256_mul_epu32(*odd, _mm256_srli_epi64(pairs, 32)), low32);
}

// Sums the 16-bit zero counters.
CHECKER_AVX2 uint64_t SumCounts(__m256i zeros) {
  const __m256i sums = _mm256_madd_epi16(zeros, _mm256_set1_epi16(1));
  alignas(32) int32_t lanes[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), sums);
  uint64_t total = 0;
  for (int32_t lane : lanes) total += static_cast<uint32_t>(lane);
  return total;
}

CHECKER_AVX2 uint64_t Combine(__m256i acc, uint64_t product) {
  alignas(32) uint64_t lanes[4];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), acc);
  for (uint64_t lane : lanes) product = MulMod(product, lane & 0xffffffffu);
  return product;
}

#undef CHECKER_AVX2

}  // namespace

__attribute__((target("avx2"))) void Avx2(const uint8_t* data, size_t words, FoldState* state) {
  const __m256i low16 = _mm256_set1_epi32(0xffff);
  const __m256i low32 = _mm256_set1_epi64x(0xffffffff);
  const __m256i one16 = _mm256_set1_epi16(1);
  const __m256i one64 = _mm256_set1_epi64x(1);
  // Four streams of 32 bytes each hide the latency of multiply and fold.
  __m256i acc[8] = {one64, one64, one64, one64, one64, one64, one64, one64};
  uint64_t zero_words = 0;
  constexpr size_t kWordsPerRound = 64;
  // The 16-bit counters gain at most 4 per round; flush them well before they wrap.
  constexpr size_t kRoundsPerBlock = 4096;
  while (words >= kWordsPerRound) {
    size_t rounds = words / kWordsPerRound;
    if (rounds > kRoundsPerBlock) rounds = kRoundsPerBlock;
    __m256i zeros = _mm256_setzero_si256();
    for (size_t r = 0; r < rounds; ++r) {
      const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data));
      const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + 32));
      const __m256i v2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + 64));
      const __m256i v3 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + 96));
      Step(v0, &acc[0], &acc[1], &zeros, low16, low32, one16);
      Step(v1, &acc[2], &acc[3], &zeros, low16, low32, one16);
      Step(v2, &acc[4], &acc[5], &zeros, low16, low32, one16);
      Step(v3, &acc[6], &acc[7], &zeros, low16, low32, one16);
      data += 128;
    }
    words -= rounds * kWordsPerRound;
    zero_words += SumCounts(zeros);
  }
  uint64_t product = state->product;
  for (const __m256i& a : acc) product = Combine(a, product);
  state->product = product;
  state->zero_words += zero_words;
  if (words > 0) Scalar(data, words, state);
}

}  // namespace content::fold_kernels

#else

namespace content::fold_kernels {

void Avx2(const uint8_t* data, size_t words, FoldState* state) { Scalar(data, words, state); }

}  // namespace content::fold_kernels

#endif
