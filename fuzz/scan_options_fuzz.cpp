// The option parser of "scan" and "continue": input = the arguments, NUL-separated.
// Checks: a refusal always says why and a success always has a PATH; the options parsed
// written back as arguments (every option once, each as "--opt=VALUE" or "--opt VALUE",
// the PATH after "--") parse to the same options; and a parse that failed fails again
// the same way.

#include <string>
#include <vector>

#include "cli/scan_options.h"
#include "fuzz/fuzz_util.h"
#include "scan/scan_job.h"

namespace {

bool Same(const cli::ScanOptions& a, const cli::ScanOptions& b) {
  const scan::RunSettings& x = a.run;
  const scan::RunSettings& y = b.run;
  return a.path == b.path && a.list_file == b.list_file && a.tree_file == b.tree_file &&
         a.name == b.name && x.dir_params == y.dir_params && x.file_params == y.file_params &&
         x.min_blocks == y.min_blocks && x.options == y.options && x.expand == y.expand &&
         x.buffer_percent == y.buffer_percent && x.buffer_max == y.buffer_max &&
         a.label == b.label && a.serial == b.serial && x.interval == y.interval &&
         x.threads == y.threads && a.progress == b.progress && a.quiet == b.quiet &&
         x.cross_mounts == y.cross_mounts;
}

class ArgsWriter {
 public:
  explicit ArgsWriter(uint32_t mix) : mix_(mix) {}

  void Value(const char* name, const std::string& value) {
    // Either form, chosen by the input; the value may hold "=" or begin with "-".
    mix_ = mix_ * 1103515245u + 12345u;
    if ((mix_ >> 16) & 1) {
      args_.push_back(std::string(name) + "=" + value);
    } else {
      args_.push_back(name);
      args_.push_back(value);
    }
  }
  void Flag(const char* name, bool set) {
    if (set) args_.push_back(name);
  }
  cli::Args& args() { return args_; }

 private:
  uint32_t mix_;
  cli::Args args_;
};

cli::Args Written(const cli::ScanOptions& o, uint32_t mix) {
  ArgsWriter w(mix);
  w.Value("--list", o.list_file);
  w.Value("--tree", o.tree_file);
  w.Value("--name", o.name);
  w.Value("--dirs", o.run.dir_params);
  w.Value("--files", o.run.file_params);
  w.Value("--min-blocks", std::to_string(o.run.min_blocks));
  w.Flag("--hex-file", (o.run.options & kOptHexFile) != 0);
  w.Flag("--hex-path", (o.run.options & kOptHexPath) != 0);
  w.Flag("--no-locks", (o.run.options & kOptNoLocks) != 0);
  w.Flag("--no-backup", o.no_backup());
  w.Value("--expand", std::to_string(o.run.expand));
  w.Value("--buffer-percent", std::to_string(o.run.buffer_percent));
  w.Value("--buffer-max", std::to_string(o.run.buffer_max));
  if (o.label) w.Value("--label", *o.label);
  if (o.serial) w.Value("--serial", std::to_string(*o.serial));
  w.Value("--interval", std::to_string(o.run.interval));
  w.Value("--threads", std::to_string(o.run.threads));
  w.Flag("--progress", o.progress);
  w.Flag("--quiet", o.quiet);
  w.Flag("--cross-mounts", o.run.cross_mounts);
  w.args().push_back("--");
  w.args().push_back(o.path);
  return w.args();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string_view input = fuzz::AsText(bytes, size);
  cli::Args args;
  if (!input.empty()) {
    for (std::string_view field : fuzz::Fields(input, 64)) args.emplace_back(field);
  }

  cli::ScanOptions options;
  std::string error;
  const bool ok = cli::ParseScanOptions(args, &options, &error);
  if (!ok) {
    FUZZ_CHECK(!error.empty());
    cli::ScanOptions again;
    std::string again_error;
    FUZZ_CHECK(!cli::ParseScanOptions(args, &again, &again_error) && again_error == error);
    return 0;
  }
  FUZZ_CHECK(error.empty());
  // A request for help needs no path and runs nothing.
  if (options.help) return 0;
  FUZZ_CHECK(!options.path.empty());
  FUZZ_CHECK(options.run.min_blocks <= 99 && options.run.buffer_percent >= 0 &&
             options.run.buffer_percent <= 100 && options.run.expand >= 0 && options.run.buffer_max >= -1 &&
             options.run.threads >= 0 && options.run.threads <= kMaxReaders);

  const cli::Args written = Written(options, fuzz::Mix(input));
  cli::ScanOptions parsed;
  std::string parse_error;
  const bool parsed_ok = cli::ParseScanOptions(written, &parsed, &parse_error);
  if (!parsed_ok) std::fprintf(stderr, "written back: %s\n", parse_error.c_str());
  FUZZ_CHECK(parsed_ok);
  FUZZ_CHECK(Same(parsed, options));
  return 0;
}
