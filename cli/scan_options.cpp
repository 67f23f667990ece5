#include "cli/scan_options.h"

#include "cli/command_line.h"

namespace cli {

namespace {

using Given = GivenOption;
using Line = CommandLine;

// clang-format off
constexpr OptionSpec kScanOptions[] = {
    Text("--list", "FILE", "id list file name",
         [](Line* l, const Given& g) { l->scan.list_file = g.text; }),
    Text("--tree", "FILE", "tree list file name",
         [](Line* l, const Given& g) { l->scan.tree_file = g.text; }),
    Text("--name", "NAME", "base name of the lists instead of the volume's name",
         [](Line* l, const Given& g) { l->scan.name = g.text; }),
    Text("--dirs", "TEXT", "directory parameters",
         [](Line* l, const Given& g) { l->scan.run.dir_params = g.text; }),
    Text("--files", "TEXT", "file parameters",
         [](Line* l, const Given& g) { l->scan.run.file_params = g.text; }),
    Number("--min-blocks", "N", "minimum block count of name sections (4)", scan::kMinBlocksRange,
           [](Line* l, const Given& g) {
             l->scan.run.min_blocks = static_cast<uint16_t>(g.number);
           }),
    Flag("--hex-file", "the length and block count of name sections in hex",
         [](Line* l, const Given&) { l->scan.run.options |= kOptHexFile; }),
    Flag("--hex-path", "the length of path sections in hex",
         [](Line* l, const Given&) { l->scan.run.options |= kOptHexPath; }),
    Flag("--no-locks", "let others write the files while they are read",
         [](Line* l, const Given&) { l->scan.run.options |= kOptNoLocks; }),
    Flag("--no-backup", "scan: do not copy the lists it replaces to the backup folder",
         [](Line* l, const Given&) { l->scan.run.options |= kOptNoBackUp; }),
    Number("--expand", "BYTES", "growth step of the id list (100000)", scan::kExpandRange,
           [](Line* l, const Given& g) { l->scan.run.expand = static_cast<int32_t>(g.number); }),
    Number("--buffer-percent", "P", "read buffer, percent of available memory (30)",
           scan::kBufferPercentRange,
           [](Line* l, const Given& g) {
             l->scan.run.buffer_percent = static_cast<int32_t>(g.number);
           }),
    Number("--buffer-max", "BYTES", "read buffer maximum (512000), shared by all readers",
           scan::kBufferMaxRange,
           [](Line* l, const Given& g) {
             l->scan.run.buffer_max = static_cast<int32_t>(g.number);
           }),
    Number("--threads", "N",
           "threads that read files; 0 chooses: from the cores, at most 8,\n"
           "but 1 on a spinning disk, up or down to what reads fastest,\n"
           "1 to 16; the closing line names the count (0)",
           scan::kThreadsRange,
           [](Line* l, const Given& g) { l->scan.run.threads = static_cast<int32_t>(g.number); }),
    Flag("--cross-mounts",
         "enter directories of other mounted file systems (never\n"
         "proc, sysfs, devtmpfs and other kernel file systems)",
         [](Line* l, const Given&) { l->scan.run.cross_mounts = true; }),
    Text("--label", "TEXT", "volume label for the header (the volume's own)",
         [](Line* l, const Given& g) { l->scan.label = g.text; }),
    Number("--serial", "N", "volume serial number for the header (the volume's own)",
           scan::kSerialRange,
           [](Line* l, const Given& g) { l->scan.serial = static_cast<uint32_t>(g.number); }),
    Number("--interval", "MS", "progress interval in milliseconds (1000)", scan::kIntervalRange,
           [](Line* l, const Given& g) { l->scan.run.interval = static_cast<int16_t>(g.number); }),
    Flag("--progress", "draw progress even when stderr is not a terminal",
         [](Line* l, const Given&) { l->scan.progress = true; }),
    Flag("--quiet", "print nothing but errors",
         [](Line* l, const Given&) { l->scan.quiet = true; }),
    Flag("--verbose", "name each folder the directory parameters leave out",
         [](Line* l, const Given&) { l->scan.verbose = true; }),
};
// clang-format on

}  // namespace

std::span<const OptionSpec> ScanOptionTable() { return kScanOptions; }

bool ParseScanOptions(const Args& args, ScanOptions* options, std::string* error) {
  CommandLine line;
  if (!ParseCommandLine(*FindCommand("scan"), args, &line, error)) return false;
  *options = std::move(line.scan);
  options->help = line.help;
  return true;
}

}  // namespace cli
