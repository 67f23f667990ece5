#include "audit/verify_plan.h"

#include "catalogue/mounted.h"
#include "scan/run_preflight.h"
#include "support/toolkit.h"

namespace audit {

namespace {

VerifyPlan Refused(VerifyRefusal refusal, VerifyPlan plan, const VerifyRun& verify,
                   std::string reason = {}) {
  plan.refusal = refusal;
  plan.lack = verify.lack();
  plan.reason = std::move(reason);
  return plan;
}

// The list's volume where it is mounted now; false when it cannot be verified there.
bool LocateVolume(const VerifyRequest& request, VerifyRun* verify, VerifyPlan* plan) {
  const catalogue::VerifyPlace place = catalogue::FindVolumeOfList(
      request.list, verify->result()->old_list.last_header(), verify->given_search_path());
  switch (place.place) {
    case catalogue::VolumePlace::kAtSearchPath:
    case catalogue::VolumePlace::kUnknown:
      return true;
    case catalogue::VolumePlace::kMountedElsewhere:
      plan->moved = place.message;
      verify->MoveSearchPath(place.path);
      return true;
    case catalogue::VolumePlace::kNotMounted:
      *plan = Refused(VerifyRefusal::kNotMounted, *plan, *verify, place.message);
      return false;
    case catalogue::VolumePlace::kAmbiguous:
    case catalogue::VolumePlace::kGone:
      break;
  }
  *plan = Refused(VerifyRefusal::kUndecided, *plan, *verify, place.message);
  return false;
}

}  // namespace

VerifyPlan PlanVerify(const VerifyRequest& request, VerifyRun* verify) {
  VerifyPlan plan;
  std::string error;
  if (!verify->Open(request.list, request.search_path, &error)) {
    return Refused(VerifyRefusal::kList, plan, *verify, error);
  }
  if (request.search_path.empty() && !LocateVolume(request, verify, &plan)) return plan;
  const std::string& path = verify->search_path();
  if (!support::DirExistsSx(path)) return Refused(VerifyRefusal::kNoDirectory, plan, *verify);
  if (!verify->Prepare(request.write, request.tree, &error)) {
    return Refused(VerifyRefusal::kNewLists, plan, *verify, error);
  }
  plan.settings = verify->JobSettings(request.base, request.cached);
  // The new lists name the volume as a scan of the path would.
  const scan::PathVolume volume = scan::VolumeOfPath(path);
  plan.settings.volume_label = request.label ? *request.label : volume.label;
  plan.settings.volume_serial = request.serial ? *request.serial : volume.serial;
  return plan;
}

}  // namespace audit
