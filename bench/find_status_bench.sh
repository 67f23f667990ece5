#!/usr/bin/env bash
# The Find page's scrub figures on a large catalogue: a refresh that reads every list
# against the status board (cold, nothing changed, after one volume's run).
#
# Usage: bench/find_status_bench.sh [BUILD_DIR]   (default: build-bench; a Release build)
# Env:   LISTS (500), FILES (2000000), WORK (a new temp dir, removed at the end; a WORK
#        given is kept, and its catalogue and history are used again)

set -eu

BUILD=${1:-build-bench}
LISTS=${LISTS:-500}
FILES=${FILES:-2000000}
MAKER=$(realpath "$BUILD/bench/catalogue_tool")
TOOL=$(realpath "$BUILD/bench/find_status_tool")
if [ -z "${WORK:-}" ]; then
  WORK=$(mktemp -d)
  trap 'rm -rf "$WORK"' EXIT
fi
mkdir -p "$WORK/catalogue" "$WORK/state"
if [ -z "$(ls -A "$WORK/catalogue")" ]; then
  "$MAKER" "$WORK/catalogue" --lists "$LISTS" --files "$FILES" >/dev/null
fi
"$TOOL" "$WORK/catalogue" "$WORK/state"
