#include "content/fold.h"

#include <array>
#include <bit>
#include <cstring>

namespace content {

namespace {

constexpr uint64_t kCounterCycle = 255;

// kCounterProducts[k] = 1 x 2 x ... x k mod 4294967295: what k zero words in a row
// from a fresh counter multiply by.
constexpr std::array<uint64_t, kCounterCycle + 1> MakeCounterProducts() {
  std::array<uint64_t, kCounterCycle + 1> table{};
  table[0] = 1;
  for (uint64_t k = 1; k <= kCounterCycle; ++k) table[k] = table[k - 1] * k % kIdModulus;
  return table;
}
constexpr auto kCounterProducts = MakeCounterProducts();

uint64_t PowMod(uint64_t base, uint64_t exponent) {
  uint64_t result = 1;
  while (exponent != 0) {
    if (exponent & 1) result = MulMod(result, base);
    base = MulMod(base, base);
    exponent >>= 1;
  }
  return result;
}

inline uint64_t LoadLe64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

inline uint16_t LoadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Both halves of (a x b) folded; the result stays below 2^32 and is congruent. It is
// never 4294967295 here because no partial product is a multiple of 65537.
inline uint64_t MulFold(uint64_t a, uint64_t b) {
  uint64_t x = a * b;
  x = (x & 0xffffffffu) + (x >> 32);
  return (x & 0xffffffffu) + (x >> 32);
}

#if defined(__x86_64__) || defined(__i386__)
bool ProcessorHas(FoldKernel kernel) {
  __builtin_cpu_init();
  switch (kernel) {
    case FoldKernel::kScalar:
      return true;
    case FoldKernel::kAvx2:
      return __builtin_cpu_supports("avx2");
    case FoldKernel::kAvx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx2");
  }
  return false;
}
#else
bool ProcessorHas(FoldKernel kernel) { return kernel == FoldKernel::kScalar; }
#endif

// Below this many words the SIMD set-up costs more than it saves.
constexpr size_t kSimdMinWords = 64;

}  // namespace

namespace fold_kernels {

void Scalar(const uint8_t* data, size_t words, FoldState* state) {
  // Four independent chains keep the multiplier busy; each step multiplies a pair of
  // words (below 2^32) into one chain.
  uint64_t acc[4] = {1, 1, 1, 1};
  uint64_t zeros = 0;
  while (words >= 8) {
    for (int half = 0; half < 2; ++half) {
      const uint64_t v = LoadLe64(data + half * 8);
      uint64_t w[4];
      for (int i = 0; i < 4; ++i) {
        w[i] = (v >> (16 * i)) & 0xffff;
        zeros += w[i] == 0;
        w[i] += w[i] == 0;
      }
      acc[half * 2] = MulFold(acc[half * 2], w[0] * w[1]);
      acc[half * 2 + 1] = MulFold(acc[half * 2 + 1], w[2] * w[3]);
    }
    data += 16;
    words -= 8;
  }
  for (; words > 0; --words, data += 2) {
    uint64_t w = LoadLe16(data);
    zeros += w == 0;
    w += w == 0;
    acc[0] = MulFold(acc[0], w);
  }
  uint64_t product = state->product;
  for (uint64_t a : acc) product = MulMod(product, a);
  state->product = product;
  state->zero_words += zeros;
}

}  // namespace fold_kernels

bool FoldKernelAvailable(FoldKernel kernel) {
  static const bool avx2 = ProcessorHas(FoldKernel::kAvx2);
  static const bool avx512 = ProcessorHas(FoldKernel::kAvx512);
  switch (kernel) {
    case FoldKernel::kScalar:
      return true;
    case FoldKernel::kAvx2:
      return avx2;
    case FoldKernel::kAvx512:
      return avx512;
  }
  return false;
}

FoldKernel BestFoldKernel() {
  static const FoldKernel best = FoldKernelAvailable(FoldKernel::kAvx512) ? FoldKernel::kAvx512
                                 : FoldKernelAvailable(FoldKernel::kAvx2) ? FoldKernel::kAvx2
                                                                          : FoldKernel::kScalar;
  return best;
}

void FoldWordsWith(FoldKernel kernel, const void* data, size_t words, FoldState* state) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  switch (kernel) {
    case FoldKernel::kScalar:
      fold_kernels::Scalar(bytes, words, state);
      return;
    case FoldKernel::kAvx2:
      fold_kernels::Avx2(bytes, words, state);
      return;
    case FoldKernel::kAvx512:
      fold_kernels::Avx512(bytes, words, state);
      return;
  }
}

void FoldWords(const void* data, size_t words, FoldState* state) {
  static const FoldKernel best = BestFoldKernel();
  FoldWordsWith(words < kSimdMinWords ? FoldKernel::kScalar : best, data, words, state);
}

void FoldWord(uint16_t word, FoldState* state) {
  if (word == 0) {
    ++state->zero_words;
  } else {
    state->product = MulMod(state->product, word);
  }
}

void FoldCombine(const FoldState& part, FoldState* state) {
  state->product = MulMod(state->product, part.product);
  state->zero_words += part.zero_words;
}

uint32_t FoldResult(const FoldState& state) {
  const uint64_t cycles = state.zero_words / kCounterCycle;
  uint64_t result = MulMod(state.product, kCounterProducts[state.zero_words % kCounterCycle]);
  if (cycles != 0) result = MulMod(result, PowMod(kCounterProducts[kCounterCycle], cycles));
  return static_cast<uint32_t>(result);
}

}  // namespace content
