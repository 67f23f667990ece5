#!/usr/bin/env bash
# Cold- and warm-cache scans with the reader count chosen against fixed counts, and the
# single-thread floor; a cached 1 GiB file against cat; what a scan and a verify do to
# the page cache. Needs root to drop the page cache before every cold run. Each time is
# the median of RUNS runs (wall seconds); the closing line of each chosen run tells the
# readers it ended with. Warm runs are warmed by the floor: a scan leaves a cold tree cold.
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
    if [ "$mode" = cold ]; then drop; else "$FLOOR" "$WORK/tree" >/dev/null; fi
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

# One cached file of 1 GiB: the readers share it against one cat.
mkdir -p "$WORK/gib"
head -c 1073741824 /dev/urandom >"$WORK/gib/one.bin"
gib_times() {
  local times=""
  for _ in $(seq "$RUNS"); do
    cat "$WORK/gib/one.bin" >/dev/null
    times="$times $(timed "$@")"
  done
  echo $times | tr ' ' '\n' | median
}
printf 'cached 1 GiB: scan %.3f s, cat %.3f s\n' \
  "$(gib_times "$CLI" scan --no-backup --list "$WORK/lists/g.v00" --tree "$WORK/lists/g.t00" "$WORK/gib")" \
  "$(gib_times sh -c "exec cat '$WORK/gib/one.bin' >/dev/null")"
rm -f "$WORK/gib/one.bin"

# Bytes a command made the system read from a device (its and its children's blocks).
device_bytes() {
  python3 -c 'import os, subprocess, sys, resource
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_inblock * 512)' "$@"
}
cached_kb() { awk '/^Cached:/ {print $2}' /proc/meminfo; }
tree_bytes=$(du -sb "$WORK/tree" | cut -f1)
# A cold scan leaves the cache as it found it; a file cached before stays cached.
drop
kept=$(find "$WORK/tree" -type f -size +100k | head -1)
cat "$kept" >/dev/null
before=$(cached_kb)
scan --threads 0 >/dev/null 2>&1
after=$(cached_kb)
echo "cold scan: page cache grew by $(((after - before) / 1024)) MiB for $((tree_bytes / 1048576)) MiB read;" \
  "a file cached before: $(fincore --noheadings --output RES "$kept" | tr -d ' ') of $(du -h "$kept" | cut -f1) still cached"
# Verify reads the device even when the whole tree is cached.
"$FLOOR" "$WORK/tree" >/dev/null
verified=$(device_bytes "$CLI" verify "$WORK/lists/r.v00")
echo "verify of a cached tree: $((verified / 1048576)) MiB read from the device of $((tree_bytes / 1048576)) MiB"
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
