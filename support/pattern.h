#pragma once
// Name-pattern search: wildcards "?" and "*", blank runs "§", character sets "{ab}"
// and alternatives "{x,yz}", without regard to case. Positions are 1-based character
// positions.

#include <bitset>
#include <cstdint>
#include <string_view>

// The search-result record; the caller zero-fills it (value-initialises) before a call.
struct InStrSResult {
  std::bitset<256> word_boundary;
  std::bitset<256> skippable;
  uint8_t meta_count = 0;  // 0 = default metacharacters
  uint8_t meta[6] = {};    // blank run, any one, any run, group open, close, separator
  std::bitset<256> equivalence[5];
  int32_t range[4] = {};
  int32_t match_start = 0;
  int32_t match_start_line = 0;
  int32_t match_end = 0;
  int32_t match_end_line = 0;
};

// "last" value meaning the end of the text.
constexpr int kInStrSDefaultLast = 2147483646;

// Start of the leftmost match of `pattern` in `data`, or 0. first: where to start
// (0 = 1); last: last possible start (0 or kInStrSDefaultLast = end of text); options
// must be 0. Stateless and thread-safe.
int InStrS(std::string_view pattern, std::string_view data, int first, InStrSResult* result,
           int last, int options);
