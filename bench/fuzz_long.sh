#!/usr/bin/env bash
# Runs every fuzzing harness for longer than ./test does and prints, per harness, the
# executions, their rate and the coverage libFuzzer reached. The inputs found are kept
# in build-fuzz/fuzz-corpus/ and replayed by the next run; a failing input is saved in
# build-fuzz/fuzz-artifacts/.
#
#   bench/fuzz_long.sh [SECONDS per harness, default 300] [NAME...]
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"
seconds=${1:-300}
shift || true
install_missing
build_fuzz >/dev/null
exec bash "$checker_root/fuzz/run.sh" "$seconds" "$checker_root/build-fuzz" "$@"
