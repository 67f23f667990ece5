#pragma once
// How `find` matches a name: a mask in the walk's own syntax when the query holds "*"
// or "?", else a text found anywhere in the name, both without regard to case (Unicode
// simple case folding, for every script). Also names the trigrams every matching name
// must hold, so the index is asked for those first; the index holds each name as
// support::FoldedName writes it.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fs/dir_iter.h"

namespace catalogue {

class NameMatcher {
 public:
  explicit NameMatcher(std::string_view query);
  NameMatcher(const NameMatcher&) = delete;
  NameMatcher& operator=(const NameMatcher&) = delete;

  // A full-text query ANDing the folded trigrams, each quoted; empty when no three
  // characters in a row are certain to appear (then every name must be tried).
  const std::string& trigram_query() const { return trigram_query_; }
  bool Matches(std::string_view name) const;

 private:
  bool mask_ = false;
  THddRun walk_;
  std::vector<uint32_t> text_;  // folded characters of a plain text
  mutable std::vector<uint32_t> name_;
  std::string trigram_query_;
};

}  // namespace catalogue
