#pragma once
// The options of scrub as given; cmd_scrub checks and converts the texts.

#include <cstdint>
#include <optional>
#include <string>

namespace cli {

struct ScrubOptions {
  std::string budget;             // --budget N%
  std::string time;               // --time 30m
  std::optional<uint64_t> bytes;  // --bytes 200G
  std::string cycle = "30d";      // --cycle
  std::optional<uint64_t> rate;   // --rate 50M
  bool idle = false;
  bool wait = false;
  bool read_placeholders = false;
  bool status = false;
};

}  // namespace cli
