#pragma once
// One run of the scan job from the command line, with the terminal as its window:
// progress on stderr, and Ctrl-C asks the job to stop. Shared by scan, continue and
// verify.

#include <cstdint>
#include <string>

#include "cli/scan_options.h"
#include "scan/run_preflight.h"
#include "scan/scan_job.h"

namespace cli {

// The volume label and serial number for the header: the options' when given, else the
// volume's (see scan::VolumeOfPath).
scan::PathVolume VolumeFields(const ScanOptions& options, const std::string& path);

// Runs a job set up in `settings` and waits for its end, drawing progress unless the
// options say quiet. Afterwards the stop signals stay caught: StopSignalReceived tells
// whether Ctrl-C came.
scan::ScanOutcome RunScanJob(const ScanOptions& options, scan::RunSettings settings);

// Names on stderr each directory not entered for lying on another file system (not
// counted), with `verbose` each folder the parameters left out (not counted), then every
// problem of the run, one line each with its reason, as many as the run counts errors;
// returns the number of directories not read.
int PrintProblems(const scan::ScanOutcome& outcome, bool verbose);

}  // namespace cli
