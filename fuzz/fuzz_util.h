#pragma once
// What every harness shares: a check that stays on in every build type and aborts, so
// that libFuzzer keeps the input that broke it, and the splitting of one input into
// fields.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : fuzz::Fail(#condition, __FILE__, __LINE__))

namespace fuzz {

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::abort();
}

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

// The input cut at NUL bytes, which no file name, path or argument holds: the seed
// files stay readable text. Always at least one field; at most `max_fields`, the last
// one taking the rest.
inline std::vector<std::string_view> Fields(std::string_view input, size_t max_fields) {
  std::vector<std::string_view> fields;
  while (fields.size() + 1 < max_fields) {
    const size_t nul = input.find('\0');
    if (nul == std::string_view::npos) break;
    fields.push_back(input.substr(0, nul));
    input.remove_prefix(nul + 1);
  }
  fields.push_back(input);
  return fields;
}

// A small number drawn from the input's bytes, so that the same input always takes the
// same branches.
inline uint32_t Mix(std::string_view text) {
  uint32_t h = 2166136261u;
  for (unsigned char c : text) h = (h ^ c) * 16777619u;
  return h;
}

}  // namespace fuzz
