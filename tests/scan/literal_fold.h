#pragma once
// The content id folded word by word exactly as the rule states it: one multiplication
// per word, reduced only when the product reaches 2^32. The reference for every faster
// path.

#include <cstdint>
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

}  // namespace testing_support
