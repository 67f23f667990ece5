#!/usr/bin/env bash
# Cold- and warm-cache scans with the reader count chosen against fixed counts, and the
# single-thread floor. Needs root to drop the page cache before every cold run. Each
# figure is the median of RUNS runs (wall seconds); the closing line of each chosen run
# tells the readers it ended with.
#
# Usage: sudo bench/reader_bench.sh [BUILD_DIR]   Env: FILES (40000), DIRS (200), BIG_MB (100), RUNS (3)

set -eu

BUILD=${1:-build}
CLI=$BUILD/checker-cli
FLOOR=$BUILD/bench/floor_tool
FILES=${FILES:-40000}
DIRS=${DIRS:-200}
BIG_MB=${BIG_MB:-100}
RUNS=${RUNS:-3}

WORK=$(mktemp -d "${TMPDIR:-/tmp}/reader-bench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/tree" "$WORK/one" "$WORK/lists"
python3 "$(dirname "$0")/scan_tree.py" "$WORK/tree" "$FILES" "$DIRS" "$BIG_MB" "$WORK/one" 1
echo "tree: $(du -sh "$WORK/tree" | cut -f1); load: $(cut -d' ' -f1-3 /proc/loadavg)"

drop() { sync; echo 3 >/proc/sys/vm/drop_caches; }
# Wall seconds of one command.
timed() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>"$WORK/err"
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
scan() {
  "$CLI" scan --no-backup --list "$WORK/lists/r.v00" --tree "$WORK/lists/r.t00" "$@" "$WORK/tree"
}
bench() {  # cold|warm label args...
  local mode=$1 label=$2
  shift 2
  local times=""
  for _ in $(seq "$RUNS"); do
    if [ "$mode" = cold ]; then drop; else "$@" >/dev/null 2>&1; fi
    times="$times $(timed "$@")"
  done
  printf '%-5s %-22s %6.2f s   %s\n' "$mode" "$label" \
    "$(echo $times | tr ' ' '\n' | median)" "$(tail -1 "$WORK/err")"
}

for count in 0 1 2 4 8 16; do
  bench cold "threads $count" scan --threads "$count"
done
bench cold "floor" "$FLOOR" "$WORK/tree"
bench warm "threads 0" scan --threads 0
bench warm "threads 1" scan --threads 1
bench warm "floor" "$FLOOR" "$WORK/tree"
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
