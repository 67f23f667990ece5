#include "cli/start_up.h"

#include <string>
#include <utility>

#include "cli/terminal_text.h"
#include "support/msg.h"
#include "support/sys_init.h"

namespace cli {

bool StartUp(bool quiet) {
  // Only the question where to create it tells that the base file is new.
  bool asked = false;
  support::MsgHandler handler = support::SetMsgHandler(nullptr);
  support::SetMsgHandler(
      [&asked, &handler](const std::string& text, const std::string& caption, int flags) {
        if (caption == support::kSysInitCaption) asked = true;
        return handler ? handler(text, caption, flags) : support::FirstButton(flags);
      });
  const support::InitStatus status = support::SysInitSx();
  support::SetMsgHandler(std::move(handler));

  switch (status) {
    case support::InitStatus::kCancelled:
      return false;
    case support::InitStatus::kBaseFileFailed:
      // The lists can still be written; the question comes again at the next start.
      PrintMessage("cannot create the base settings file " + support::SxBaseIniFile +
                   "; the default settings are used");
      return true;
    case support::InitStatus::kReady:
      if (asked && !quiet) PrintMessage("created the base settings file " + support::SxBaseIniFile);
      return true;
  }
  return true;
}

}  // namespace cli
