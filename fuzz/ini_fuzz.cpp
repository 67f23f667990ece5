// The ini reader and writer on a hand-edited file: input "file NUL value NUL key NUL
// section NUL list items". The file is anything a user may leave there; the names are
// the program's own, so those that no key line could hold are replaced by real ones.
// Checks: a value written reads back (up to its comment) and keeps the line's comment;
// numbers, amounts and booleans read back as written, floats to 15 digits; writing one
// key leaves every other key as it was; reading any key as any kind throws nothing but
// ConversionError; the text survives save and reload unchanged; a numbered list reads
// back as written, also after a shorter one replaced it; a cleared section keeps its
// header and loses its keys.

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fuzz/fuzz_util.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/ini.h"
#include "support/text.h"

namespace {

constexpr std::string_view kRealSections[] = {"NorvelBase", "Viv050", ""};
constexpr std::string_view kRealKeys[] = {"VolPath", "LstExt", "DirExt", "AppPath"};
// The default a lookup gives for a missing key: no line can hold it.
constexpr char kMissing[] = "\n";

// A key line holds no "=" in its key, no line break, and does not begin like a header.
bool UsableKey(std::string_view key) {
  const std::string_view trimmed = support::TrimView(key);
  return !trimmed.empty() && trimmed[0] != '[' &&
         key.find_first_of("=\r\n") == std::string_view::npos;
}

bool UsableSection(std::string_view section) {
  return section.find_first_of("\r\n") == std::string_view::npos;
}

// An item of a numbered list: what reads back unchanged.
bool UsableItem(std::string_view item) {
  return !item.empty() && support::TrimView(item) == item &&
         item.find_first_of(";\r\n") == std::string_view::npos;
}

bool SameSection(std::string_view a, std::string_view b) {
  a = support::TrimView(a);
  b = support::TrimView(b);
  if (a.empty() || b.empty()) return a.empty() == b.empty();
  auto bracketed = [](std::string_view s) {
    std::string name(s);
    if (name.front() != '[') name.insert(name.begin(), '[');
    if (name.back() != ']') name.push_back(']');
    return name;
  };
  return support::SameText(bracketed(a), bracketed(b));
}

std::string Get(const support::StringList& list, std::string_view section, std::string_view key) {
  return support::IniGetSx(list, section, key, SxValue(kMissing), support::kKindText).AsText();
}

// What reading gives for a text written: one line, up to the comment, trimmed.
std::string Expected(std::string_view value) {
  std::string text(value);
  support::ReplaceLineBreaks(&text);
  return support::Trim(std::string_view(text).substr(0, text.find(';')));
}

// Reads the key as every kind the settings use and converts what comes back: a value
// that does not convert may only throw ConversionError.
void ReadAsEveryKind(const support::StringList& list, std::string_view section,
                     std::string_view key) {
  using namespace support;
  for (int kind : {kKindSmallInt, kKindInteger, kKindSingle, kKindDouble, kKindCurrency, kKindDate,
                   kKindWideText, kKindBoolean, kKindByte, kKindInt64, kKindText}) {
    try {
      const SxValue value = support::IniGetSx(list, section, key, SxValue(0), kind);
      (void)value.AsText();
      (void)value.AsBool();
      (void)value.AsDouble();
      (void)value.AsInt();
      (void)value.AsCurrency();
    } catch (const ConversionError&) {
    }
  }
}

// The comment of the key's line (from its ";" on), empty when it has none or is missing.
std::string CommentOf(const support::StringList& list, std::string_view section,
                      std::string_view key) {
  const support::IniLocation loc = support::IniFindSx(&list, section, key);
  if (loc.result < 0) return std::string();
  const std::string& line = list[static_cast<size_t>(loc.result)];
  const size_t semicolon = line.find(';', static_cast<size_t>(loc.equal_pos));
  return semicolon == std::string::npos ? std::string() : line.substr(semicolon);
}

const std::string& ScratchFile() {
  static const std::string path = [] {
    std::random_device random;
    return platform::TempDir() + "checker_ini_fuzz_" + std::to_string(random()) + ".ini";
  }();
  return path;
}

void RemoveScratch() { platform::RemoveFile(ScratchFile()); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::atexit(RemoveScratch);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::vector<std::string_view> fields = fuzz::Fields(fuzz::AsText(bytes, size), 5);
  auto field = [&](size_t i) { return i < fields.size() ? fields[i] : std::string_view(); };
  const uint32_t mix = fuzz::Mix(field(1));
  const std::string_view value = field(1);
  const std::string_view key = UsableKey(field(2)) ? field(2) : kRealKeys[mix % 4];
  const std::string_view section = UsableSection(field(3)) ? field(3) : kRealSections[mix % 3];

  support::StringList list;
  list.SetText(field(0));

  // Every real key, and the fuzzed one, in the fuzzed section and the real ones.
  struct Probe {
    std::string_view section;
    std::string_view key;
    std::string before;
  };
  std::vector<Probe> probes;
  for (std::string_view s : {section, kRealSections[0], kRealSections[1], kRealSections[2]}) {
    for (std::string_view k : {key, kRealKeys[0], kRealKeys[1], kRealKeys[2], kRealKeys[3]}) {
      if (SameSection(s, section) &&
          support::SameText(support::TrimView(k), support::TrimView(key))) {
        continue;
      }
      probes.push_back({s, k, Get(list, s, k)});
      if (probes.back().before != kMissing) ReadAsEveryKind(list, s, k);
    }
  }

  const std::string comment = CommentOf(list, section, key);
  FUZZ_CHECK(support::IniSetSx(list, section, key, SxValue(value)) >= 0);
  FUZZ_CHECK(Get(list, section, key) == Expected(value));
  ReadAsEveryKind(list, section, key);
  for (const Probe& probe : probes) FUZZ_CHECK(Get(list, probe.section, probe.key) == probe.before);
  const bool own_comment = value.find(';') != std::string_view::npos;
  if (!own_comment) FUZZ_CHECK(CommentOf(list, section, key) == comment);

  // Numbers and booleans come back as themselves where no comment follows them: the
  // blanks that keep a comment's column make them unreadable, as for any hand-written
  // "5 ;note".
  if (comment.empty() && !own_comment) {
    const int32_t number = static_cast<int32_t>(mix);
    support::IniSetSx(list, section, key, SxValue(number));
    FUZZ_CHECK(support::IniGetSx(list, section, key, SxValue(0), support::kKindInteger).AsInt() ==
               number);
    const int64_t wide = static_cast<int64_t>(uint64_t{mix} * 4294967311u);
    support::IniSetSx(list, section, key, SxValue(wide));
    FUZZ_CHECK(support::IniGetSx(list, section, key, SxValue(0), support::kKindInt64).AsInt() ==
               wide);
    for (bool flag : {false, true}) {
      support::IniSetSx(list, section, key, SxValue(flag));
      FUZZ_CHECK(
          support::IniGetSx(list, section, key, SxValue(!flag), support::kKindBoolean).AsBool() ==
          flag);
    }
    // Amounts are exact to 4 decimals.
    const int64_t scaled = wide / 7;
    support::IniSetSx(list, section, key, SxValue::Currency(scaled));
    FUZZ_CHECK(
        support::IniGetSx(list, section, key, SxValue(0), support::kKindCurrency).AsCurrency() ==
        scaled);
    // Floats keep 15 digits: what was read writes the same text again.
    double real = 0;
    const uint64_t bits = uint64_t{mix} * 0x9E3779B97F4A7C15u;
    std::memcpy(&real, &bits, sizeof real);
    if (std::isfinite(real)) {
      const int line = support::IniSetSx(list, section, key, SxValue(real));
      const std::string written = list[static_cast<size_t>(line)];
      const double read =
          support::IniGetSx(list, section, key, SxValue(0.0), support::kKindDouble).AsDouble();
      FUZZ_CHECK(std::fabs(read - real) <= std::fabs(real) * 1e-14);
      support::IniSetSx(list, section, key, SxValue(read));
      FUZZ_CHECK(list[static_cast<size_t>(line)] == written);
    }
    support::IniSetSx(list, section, key, SxValue(value));
  }

  // Save and reload. The file costs more than all the rest, and what it holds is the
  // text, so most inputs check the text alone.
  support::StringList reloaded;
  if (mix % 8 == 0) {
    support::IniSaveSx(list, ScratchFile());
    FUZZ_CHECK(reloaded.LoadFromFile(ScratchFile()));
  } else {
    reloaded.SetText(list.Text(support::kLf));
  }
  FUZZ_CHECK(reloaded.items() == list.items());
  FUZZ_CHECK(Get(reloaded, section, key) == Expected(value));

  // A numbered list, then a shorter one over it.
  support::StringList items;
  std::string_view rest = field(4);
  while (!rest.empty()) {
    const size_t bar = rest.find('|');
    const std::string_view item = rest.substr(0, bar);
    rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
    if (UsableItem(item)) items.Add(std::string(item));
  }
  for (int round = 0; round < 2; ++round) {
    support::IniSetListSx(list, section, key, items);
    support::StringList read;
    FUZZ_CHECK(support::IniGetListSx(list, section, key, &read) == static_cast<int>(items.size()));
    FUZZ_CHECK(read.items() == items.items());
    if (!items.empty()) items.Delete(items.size() / 2);
  }

  // Clearing the section.
  if (!support::TrimView(section).empty()) {
    FUZZ_CHECK(support::IniClearSectionSx(list, section));
    FUZZ_CHECK(support::IniFindSx(&list, section, "").result == support::kIniKeyMissing);
    FUZZ_CHECK(Get(list, section, key) == kMissing);
  }
  return 0;
}
