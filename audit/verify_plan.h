#pragma once
// The steps before a verify's scan, the same for both front ends: the list read and
// held, its volume found where it is mounted now, the path to scan checked, the new
// lists' place chosen, and the job's settings made. A refusal comes back as a fact for
// each front end to word with its own flag or field.

#include <cstdint>
#include <optional>
#include <string>

#include "audit/verify_run.h"
#include "scan/run_settings.h"

namespace audit {

enum class VerifyRefusal {
  kNone,
  kList,         // the list cannot be verified (VerifyRun::Open): `reason`, `lack`
  kNotMounted,   // the list's volume is mounted nowhere: `reason` says where it looked
  kUndecided,    // several volumes could be the list's, or the path is gone from it
  kNoDirectory,  // no directory at the path to scan (VerifyRun::search_path)
  kNewLists,     // the new lists cannot go where asked (VerifyRun::Prepare): `reason`, `lack`
};

struct VerifyRequest {
  std::string list;
  // Empty: the list's own, looked for among the mounted volumes when its volume is not
  // there.
  std::string search_path;
  std::string write;  // the new lists (VerifyRun::Prepare); empty: a temp folder
  std::string tree;
  scan::RunSettings base;  // the settings the job starts from
  bool cached = false;
  // The header's volume fields when given; else the volume's at the path scanned, as a
  // scan of it would name them.
  std::optional<std::string> label;
  std::optional<uint32_t> serial;
};

struct VerifyPlan {
  VerifyRefusal refusal = VerifyRefusal::kNone;
  VerifyLack lack = VerifyLack::kNone;
  std::string reason;
  // Set when the list's volume was found mounted elsewhere: the line that says where it
  // is verified (also before a later refusal).
  std::string moved;
  // The job's settings, once nothing was refused.
  scan::RunSettings settings;
};

// Runs `verify` through Open and Prepare for `request`; the list, its header and the
// path scanned are the run's from then on (VerifyRun::result, search_path).
VerifyPlan PlanVerify(const VerifyRequest& request, VerifyRun* verify);

}  // namespace audit
