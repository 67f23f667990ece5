#pragma once
// The fold behind the content id: the product of a file's 16-bit little-endian words
// modulo 4294967295, where a zero word counts as the next value of a counter that runs
// 1, 2, ..., 255, 1, 2, ... across the whole file.
//
// 4294967295 = 65535 x 65537 and 65537 is prime, so no word and no counter value is a
// multiple of 65537: the running value never becomes 0 (nor 4294967295), each
// unreduced product below 2^32 is already its own residue, and the id is simply the
// product of all multipliers modulo 4294967295. The order of the multiplications does
// not matter, which lets the kernels use many accumulators and SIMD lanes.

#include <cstddef>
#include <cstdint>

namespace content {

constexpr uint64_t kIdModulus = 4294967295;

// State carried across reads: the product of the non-zero words so far (a residue,
// never 0) and how many zero words were seen. The id depends on nothing else, so the
// way a file is cut into reads never changes it.
struct FoldState {
  uint64_t product = 1;
  uint64_t zero_words = 0;
};

enum class FoldKernel { kScalar, kAvx2, kAvx512 };

// Whether this processor can run the kernel (kScalar always).
bool FoldKernelAvailable(FoldKernel kernel);
// The fastest kernel this processor runs, chosen once.
FoldKernel BestFoldKernel();

// Folds `words` little-endian words starting at `data` (any alignment) into state.
void FoldWords(const void* data, size_t words, FoldState* state);
// The same with one given kernel; the kernel must be available.
void FoldWordsWith(FoldKernel kernel, const void* data, size_t words, FoldState* state);

// Folds one word (the tail of an odd-sized file, or a test's single word).
void FoldWord(uint16_t word, FoldState* state);

// Folds the state of another part of the same file into *state. The id does not depend
// on the order of the words, and zero words only count, so parts folded apart combine
// exactly, zero runs across their edges included.
void FoldCombine(const FoldState& part, FoldState* state);

// The id of everything folded so far: the product times the counter values the zero
// words took (1 x 2 x ... x 255, then again from 1). Always in 1 ... 4294967294.
uint32_t FoldResult(const FoldState& state);

// (a x b) mod 4294967295 for a, b below 2^32.
inline uint64_t MulMod(uint64_t a, uint64_t b) {
  uint64_t x = a * b;
  x = (x & 0xffffffffu) + (x >> 32);
  x = (x & 0xffffffffu) + (x >> 32);
  return x == kIdModulus ? 0 : x;
}

}  // namespace content

namespace content::fold_kernels {

// The kernels behind FoldWordsWith. Each folds `words` words into its own
// accumulators and multiplies them into state at the end.
void Scalar(const uint8_t* data, size_t words, FoldState* state);
void Avx2(const uint8_t* data, size_t words, FoldState* state);
void Avx512(const uint8_t* data, size_t words, FoldState* state);

}  // namespace content::fold_kernels
