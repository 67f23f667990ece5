#pragma once
// One run of the scan job from the command line, with the terminal as its window:
// progress on stderr, and Ctrl-C asks the job to stop. Shared by scan, continue and
// verify.

#include <cstdint>
#include <string>

#include "cli/scan_options.h"
#include "scan/scan_job.h"

namespace cli {

// The volume label and serial number for the header: the options' when given, else the
// volume's. `serial_text` is the serial as the list name shows it ("03054_41741").
void VolumeFields(const ScanOptions& options, const std::string& path, std::string* label,
                  uint32_t* serial, std::string* serial_text);

// Configures a job from the options, runs it over `path` (absolute) in `mode` and waits
// for its end, drawing progress unless quiet. Afterwards the stop signals stay caught:
// StopSignalReceived tells whether Ctrl-C came.
ScanOutcome RunScanJob(const ScanOptions& options, const std::string& path, uint8_t mode,
                       const std::string& label, uint32_t serial, const std::string& tree_list,
                       const std::string& id_list);

// Names on stderr each directory not entered for lying on another file system (not
// counted), with `verbose` each folder the parameters left out (not counted), then every
// problem of the run, one line each with its reason, as many as the run counts errors;
// returns the number of directories not read.
int PrintProblems(const ScanOutcome& outcome, bool verbose);

}  // namespace cli
