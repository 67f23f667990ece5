#include "content/fold.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "content/literal_fold.h"

namespace content {
namespace {

using testing_support::LiteralId;
using testing_support::MixedBytes;

std::vector<FoldKernel> AvailableKernels() {
  std::vector<FoldKernel> kernels;
  for (FoldKernel k : {FoldKernel::kScalar, FoldKernel::kAvx2, FoldKernel::kAvx512}) {
    if (FoldKernelAvailable(k)) kernels.push_back(k);
  }
  return kernels;
}

const char* KernelName(FoldKernel kernel) {
  switch (kernel) {
    case FoldKernel::kScalar:
      return "scalar";
    case FoldKernel::kAvx2:
      return "avx2";
    case FoldKernel::kAvx512:
      return "avx512";
  }
  return "?";
}

// The id the kernel gives for the bytes, folded in pieces of at most `piece` bytes
// (even, except that the odd tail goes in as one word).
uint32_t KernelId(FoldKernel kernel, const std::string& bytes, size_t piece = 0) {
  FoldState state;
  const size_t even = bytes.size() & ~size_t{1};
  if (piece == 0) piece = even == 0 ? 2 : even;
  for (size_t at = 0; at < even; at += piece) {
    const size_t n = std::min(piece, even - at);
    FoldWordsWith(kernel, bytes.data() + at, n / 2, &state);
  }
  if (bytes.size() % 2 != 0) FoldWord(static_cast<uint8_t>(bytes.back()), &state);
  return FoldResult(state);
}

uint32_t DispatchedId(const std::string& bytes) {
  FoldState state;
  FoldWords(bytes.data(), bytes.size() / 2, &state);
  if (bytes.size() % 2 != 0) FoldWord(static_cast<uint8_t>(bytes.back()), &state);
  return FoldResult(state);
}

TEST(FoldTest, WorkedExamples) {
  for (FoldKernel k : AvailableKernels()) {
    SCOPED_TRACE(KernelName(k));
    EXPECT_EQ(KernelId(k, "abcdef"), 701218845u);
    EXPECT_EQ(KernelId(k, "abcdefg"), 3506064315u);
    EXPECT_EQ(KernelId(k, std::string(10, '\0')), 120u);
  }
}

TEST(FoldTest, TinyInputsWorkedByHand) {
  // One word: the word itself.
  EXPECT_EQ(KernelId(FoldKernel::kScalar, std::string("\x34\x12", 2)), 0x1234u);
  // A single odd byte is a word with high byte 0.
  EXPECT_EQ(KernelId(FoldKernel::kScalar, std::string("\x05", 1)), 5u);
  // 65535^2 = 4294836225 stays below the modulus.
  EXPECT_EQ(KernelId(FoldKernel::kScalar, std::string(4, '\xff')), 4294836225u);
  // 65535^3 = 65535 x (65535^2 mod 65537) = 65535 x 4 once reduced.
  EXPECT_EQ(KernelId(FoldKernel::kScalar, std::string(6, '\xff')), 262140u);
  // 256^4 = 2^32 passes the modulus by one.
  EXPECT_EQ(KernelId(FoldKernel::kScalar, std::string("\x00\x01\x00\x01\x00\x01\x00\x01", 8)), 1u);
  // Nothing folded at all.
  EXPECT_EQ(KernelId(FoldKernel::kScalar, ""), 1u);
}

TEST(FoldTest, ZeroCounterWrapsFrom255To1) {
  // 600 zero bytes are 300 zero words: 1 x ... x 255, then 1 x ... x 45.
  uint64_t expected = 1;
  for (uint64_t k = 1; k <= 255; ++k) expected = expected * k % kIdModulus;
  for (uint64_t k = 1; k <= 45; ++k) expected = expected * k % kIdModulus;
  const std::string zeros(600, '\0');
  EXPECT_EQ(LiteralId(zeros), expected);
  for (FoldKernel k : AvailableKernels()) EXPECT_EQ(KernelId(k, zeros), expected) << KernelName(k);
  // The counter runs on across words that are not zero.
  std::string mixed = std::string(300, '\0') + "ab" + std::string(300, '\0');
  EXPECT_EQ(KernelId(FoldKernel::kScalar, mixed), expected * 0x6261 % kIdModulus);
}

TEST(FoldTest, EveryKernelMatchesLiteralOnEverySmallSize) {
  const std::string bytes = MixedBytes(4200, 7);
  for (FoldKernel k : AvailableKernels()) {
    for (size_t size = 0; size <= bytes.size(); size += size < 1100 ? 1 : 97) {
      const std::string part = bytes.substr(0, size);
      ASSERT_EQ(KernelId(k, part), LiteralId(part)) << KernelName(k) << " size " << size;
    }
  }
  for (size_t size = 0; size <= 1100; ++size) {
    const std::string part = bytes.substr(0, size);
    ASSERT_EQ(DispatchedId(part), LiteralId(part)) << "size " << size;
  }
}

TEST(FoldTest, EveryKernelMatchesLiteralAtAnyAlignment) {
  const std::string bytes = MixedBytes(5000, 11);
  for (FoldKernel k : AvailableKernels()) {
    for (size_t offset = 0; offset < 64; ++offset) {
      const std::string part = bytes.substr(offset, 4001);
      ASSERT_EQ(KernelId(k, part), LiteralId(part)) << KernelName(k) << " offset " << offset;
    }
  }
}

TEST(FoldTest, EveryKernelMatchesLiteralOnLargeBuffers) {
  for (size_t size : {size_t{1} << 20, (size_t{3} << 20) + 1, (size_t{24} << 20) + 7}) {
    const std::string bytes = MixedBytes(size, static_cast<uint32_t>(size));
    const uint32_t expected = LiteralId(bytes);
    for (FoldKernel k : AvailableKernels()) {
      EXPECT_EQ(KernelId(k, bytes), expected) << KernelName(k) << " size " << size;
    }
    EXPECT_EQ(DispatchedId(bytes), expected);
  }
}

TEST(FoldTest, LongRunsOfZerosAndOfFullWords) {
  // More zero words than a 16-bit lane counter holds, and runs of 65535.
  const std::string zeros(size_t{3} << 20, '\0');
  const std::string full((size_t{2} << 20) + 3, '\xff');
  const std::string both = zeros + full + zeros.substr(0, 1001);
  for (const std::string* bytes : {&zeros, &full, &both}) {
    const uint32_t expected = LiteralId(*bytes);
    for (FoldKernel k : AvailableKernels()) {
      EXPECT_EQ(KernelId(k, *bytes), expected) << KernelName(k) << " size " << bytes->size();
    }
  }
}

TEST(FoldTest, HowTheInputIsCutNeverChangesTheId) {
  const std::string bytes = MixedBytes(1 << 18, 3);
  const uint32_t expected = LiteralId(bytes);
  for (FoldKernel k : AvailableKernels()) {
    for (size_t piece : {2, 6, 126, 128, 130, 256, 8192, 65538}) {
      EXPECT_EQ(KernelId(k, bytes, piece), expected) << KernelName(k) << " piece " << piece;
    }
  }
  // Uneven pieces, each kernel taking a turn.
  std::mt19937 rng(5);
  const auto kernels = AvailableKernels();
  FoldState state;
  size_t at = 0;
  while (at < bytes.size()) {
    const size_t words = std::min<size_t>((bytes.size() - at) / 2, rng() % 3000);
    FoldWordsWith(kernels[rng() % kernels.size()], bytes.data() + at, words, &state);
    at += words * 2;
  }
  EXPECT_EQ(FoldResult(state), expected);
}

TEST(FoldTest, ResultFromZeroCountMatchesCounterSequence) {
  // Whole counter cycles go through the power; check a few against the literal fold.
  for (size_t words : {255, 256, 510, 765 + 17, 255 * 40 + 254}) {
    FoldState state;
    state.zero_words = words;
    EXPECT_EQ(FoldResult(state), LiteralId(std::string(words * 2, '\0'))) << words;
  }
}

TEST(FoldTest, MulModReducesFully) {
  EXPECT_EQ(MulMod(0xffffffffu, 1), 0u);
  EXPECT_EQ(MulMod(0xfffffffeu, 0xfffffffeu), 1u);
  EXPECT_EQ(MulMod(65536, 65536), 1u);
  EXPECT_EQ(MulMod(65535, 65537), 0u);
  EXPECT_EQ(MulMod(123456789, 987654321), 123456789ull * 987654321ull % 4294967295ull);
}

}  // namespace
}  // namespace content
