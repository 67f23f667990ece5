#pragma once
// How `find` matches a name: a mask in the walk's own syntax when the query holds "*"
// or "?", else a text found anywhere in the name, both without regard to case (Unicode
// simple case folding, for every script) and with "\" and "/" alike, so that a path typed
// either way matches lists written on either system. Also names the runs of text every matching
// name must hold, folded as support::FoldedName folds names, so that the index is asked
// for those first.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fs/dir_iter.h"

namespace names {

class NameMatcher {
 public:
  explicit NameMatcher(std::string_view query);
  NameMatcher(const NameMatcher&) = delete;
  NameMatcher& operator=(const NameMatcher&) = delete;

  // Folded texts each matching name holds; none when nothing is certain (then every name
  // must be tried). For a plain text, the text itself: holding it is matching.
  const std::vector<std::string>& pieces() const { return pieces_; }
  bool mask() const { return mask_; }
  // For a mask: the folded text every match begins with (empty when none is certain).
  const std::string& prefix() const { return prefix_; }
  bool Matches(std::string_view name) const;

 private:
  bool mask_ = false;
  fs::THddRun walk_;
  std::vector<uint32_t> text_;  // folded characters of a plain text
  mutable std::vector<uint32_t> name_;
  mutable std::string slashed_;  // a path with "\" given to the mask as "/"
  std::vector<std::string> pieces_;
  std::string prefix_;
};

}  // namespace names
