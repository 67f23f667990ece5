#include "cli/search_path.h"

#include "platform/files.h"

namespace cli {

namespace {

constexpr char kNoSuchPath[] = "no such file or directory";

}  // namespace

std::string NotADirectoryReason(const std::string& path) {
  std::string error;
  switch (platform::PathKindOf(path, &error)) {
    case platform::PathKind::kMissing:
      return "no such directory";
    case platform::PathKind::kUnknown:
      return error;
    case platform::PathKind::kLinkToDirectory:
      // Links are never followed, the first one no more than those below it.
      return "is a symbolic link to a directory; give the directory itself";
    case platform::PathKind::kLink:
      return "is a symbolic link, not a directory";
    case platform::PathKind::kFifo:
      return "is a FIFO, not a directory";
    case platform::PathKind::kSocket:
      return "is a socket, not a directory";
    case platform::PathKind::kDevice:
      return "is a device, not a directory";
    case platform::PathKind::kFile:
    case platform::PathKind::kDirectory:
      break;
  }
  return "not a directory";
}

std::string MissingReason(const std::string& path) {
  std::string error;
  switch (platform::PathKindOf(path, &error)) {
    case platform::PathKind::kMissing:
      return kNoSuchPath;
    case platform::PathKind::kUnknown:
      return error;
    default:
      return {};
  }
}

}  // namespace cli
