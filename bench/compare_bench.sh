#!/usr/bin/env bash
# compare and verify against their targets, on this machine, with its load printed.
#
# 1. compare of two generated id lists of FILES files each (bench/list_pair_tool: a few
#    percent of every class), page-cached: the best wall time of RUNS runs, and the peak
#    resident memory against the two lists' size. Targets: 1.5 s and 2x.
# 2. verify against scan on the scan benchmark's tree (bench/scan_tree.py), taking turns,
#    best of RUNS each. Target: verify at most 1.1x scan.
#
# Usage: bench/compare_bench.sh [BUILD_DIR]     (default: build; a Release build)
# Env:   FILES (1000000), RUNS (5), TREE_FILES (40000), DIRS (200), BIG_MB (100), KEEP

set -eu

BUILD=${1:-build}
CLI=$BUILD/checker-cli
PAIR=$BUILD/bench/list_pair_tool
FILES=${FILES:-1000000}
RUNS=${RUNS:-5}
TREE_FILES=${TREE_FILES:-40000}
DIRS=${DIRS:-200}
BIG_MB=${BIG_MB:-100}

for program in "$CLI" "$PAIR"; do
  if [ ! -x "$program" ]; then
    echo "compare_bench: $program not found; build first (cmake --build $BUILD)" >&2
    exit 2
  fi
done
if [ ! -x /usr/bin/time ]; then
  echo "compare_bench: /usr/bin/time is needed for the peak memory (apt-get install time)" >&2
  exit 2
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/compare-bench-XXXXXX")
cleanup() { [ -n "${KEEP:-}" ] || rm -rf "$WORK"; }
trap cleanup EXIT
export CHECKER_APPDIR="$WORK/app" XDG_CONFIG_HOME="$WORK/config"
mkdir -p "$CHECKER_APPDIR" "$XDG_CONFIG_HOME"

echo "writing two lists of $FILES files" >&2
"$PAIR" "$WORK/old.v00" "$WORK/new.v00" "$FILES" >"$WORK/meant.txt"
cat "$WORK/old.v00" "$WORK/new.v00" >/dev/null
list_bytes=$(($(stat -c %s "$WORK/old.v00") + $(stat -c %s "$WORK/new.v00")))

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
best_wall=""
peak_kb=0
for ((round = 0; round < RUNS; round++)); do
  status=0
  /usr/bin/time -f "%e %U %S %M" -o "$WORK/time.txt" \
    "$CLI" compare "$WORK/old.v00" "$WORK/new.v00" >"$WORK/out.txt" 2>"$WORK/err.txt" || status=$?
  if [ "$status" -ne 3 ]; then
    echo "compare_bench: compare ended with $status, not 3" >&2
    cat "$WORK/err.txt" >&2
    exit 1
  fi
  # time says "Command exited with non-zero status 3" first.
  read -r wall user system kb < <(tail -n 1 "$WORK/time.txt")
  if [ -z "$best_wall" ] || awk "BEGIN { exit !($wall < $best_wall) }"; then
    best_wall=$wall
    best_cpu=$(awk "BEGIN { print $user + $system }")
  fi
  [ "$kb" -gt "$peak_kb" ] && peak_kb=$kb
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

echo "$(nproc) cores; load average before: $load_before, after: $load_after"
echo "compare of two lists of $FILES files ($list_bytes bytes together), best of $RUNS:"
echo "classes meant by the generator:" $(tr '\n' ' ' <"$WORK/meant.txt")
echo "classes found (stderr of the last run):"
sed 's/^/  /' "$WORK/err.txt"
printf '%-40s %8.3f s  (cpu %.3f s; target 1.5 s or less)\n' "compare, wall:" "$best_wall" "$best_cpu"
awk -v kb="$peak_kb" -v bytes="$list_bytes" 'BEGIN {
  printf "%-40s %8.1f MB  (%.2fx the lists; target 2x or less)\n", "compare, peak resident:",
    kb / 1024, kb * 1024 / bytes }'

# verify against scan on the scan benchmark's tree.
TREE=$WORK/tree
echo "making $TREE_FILES files in $DIRS directories and 3 x $BIG_MB MB" >&2
mkdir -p "$TREE" "$WORK/one"
python3 "$(dirname "$0")/scan_tree.py" "$TREE" "$TREE_FILES" "$DIRS" "$BIG_MB" "$WORK/one" 0
scan_tree() { "$CLI" scan --quiet --no-backup --list "$WORK/run.v00" --tree "$WORK/run.t00" "$TREE"; }
verify_tree() { "$CLI" verify --quiet "$WORK/run.v00" >/dev/null 2>&1; }
scan_tree
TIMEFORMAT="%R"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
best_scan=""
best_verify=""
for ((round = 0; round < RUNS; round++)); do
  t=$({ time scan_tree >/dev/null 2>&1; } 2>&1)
  if [ -z "$best_scan" ] || awk "BEGIN { exit !($t < $best_scan) }"; then best_scan=$t; fi
  t=$({ time verify_tree; } 2>&1)
  if [ -z "$best_verify" ] || awk "BEGIN { exit !($t < $best_verify) }"; then best_verify=$t; fi
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
echo "load average before: $load_before, after: $load_after"
echo "scan tree of $TREE_FILES files and 3 x $BIG_MB MB, best of $RUNS, page-cached:"
printf '%-40s %8.3f s\n' "checker-cli scan:" "$best_scan" "checker-cli verify:" "$best_verify"
awk -v s="$best_scan" -v v="$best_verify" \
  'BEGIN { if (s > 0) printf "%-40s %.2f (target 1.1 or less)\n", "verify / scan:", v / s }'
