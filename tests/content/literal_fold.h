#pragma once
// The content id folded word by word exactly as the rule states it: one multiplication
// per word, reduced only when the product reaches 2^32. The reference for every faster
// path.

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace testing_support {

class LiteralFold {
 public:
  void Word(uint16_t word) {
    uint64_t m = word;
    if (word == 0) {
      counter_ = counter_ == 255 ? 1 : static_cast<uint8_t>(counter_ + 1);
      m = counter_;
    }
    const uint64_t product = static_cast<uint64_t>(chk_) * m;
    chk_ = (product >> 32) > 0 ? static_cast<int64_t>(product % 4294967295u)
                               : static_cast<int64_t>(product);
  }

  // Every whole word of bytes, in order; an odd last byte is left out.
  void Words(std::string_view bytes) {
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
      Word(static_cast<uint16_t>(static_cast<uint8_t>(bytes[i]) |
                                 (static_cast<uint8_t>(bytes[i + 1]) << 8)));
    }
  }

  uint32_t Id() const { return static_cast<uint32_t>(chk_); }

 private:
  int64_t chk_ = 1;
  uint8_t counter_ = 0;
};

// The id of a whole file's contents: its words, then an odd last byte as a word whose
// high byte is 0.
inline uint32_t LiteralId(std::string_view bytes) {
  LiteralFold fold;
  fold.Words(bytes);
  if (bytes.size() % 2 != 0) fold.Word(static_cast<uint8_t>(bytes.back()));
  return fold.Id();
}

// Random bytes with runs of zero words and of 0xFFFF words mixed in.
inline std::string MixedBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string bytes(size, '\0');
  size_t at = 0;
  while (at < size) {
    const uint32_t kind = rng() % 8;
    const size_t run = std::min<size_t>(size - at, 1 + rng() % 700);
    for (size_t i = 0; i < run; ++i) {
      char c = static_cast<char>(rng());
      if (kind == 0) c = 0;
      if (kind == 1) c = static_cast<char>(0xff);
      if (kind == 2 && (rng() % 4) == 0) c = 0;  // scattered zero bytes
      bytes[at + i] = c;
    }
    at += run;
  }
  return bytes;
}

}  // namespace testing_support
