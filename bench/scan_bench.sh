#!/bin/sh
# Times a whole scan against the floor (bench/floor_tool: the fewest system calls that
# walk a tree and read every file, nothing computed) and against other tools that read
# every file of a tree, all on the same page-cached tree; then counts the system calls
# per file of the scan and of the floor (strace -c -f).
#
# Usage: bench/scan_bench.sh [BUILD_DIR]     (default: build; a Release build)
# Env:   FILES (40000), DIRS (200), BIG_MB (100), RUNS (3), KEEP_TREE (unset)
#
# The tree: FILES files of 0-64 KiB spread over DIRS directories, plus three files of
# BIG_MB MB, made in a temp dir and removed at the end.

set -eu

BUILD=${1:-build}
CLI=$BUILD/checker-cli
FLOOR=$BUILD/bench/floor_tool
FILES=${FILES:-40000}
DIRS=${DIRS:-200}
BIG_MB=${BIG_MB:-100}
RUNS=${RUNS:-3}

for program in "$CLI" "$FLOOR"; do
  if [ ! -x "$program" ]; then
    echo "scan_bench: $program not found; build first (cmake --build $BUILD)" >&2
    exit 2
  fi
done

# The peers, installed when missing.
missing=""
command -v xxhsum >/dev/null 2>&1 || missing="$missing xxhash"
command -v rhash >/dev/null 2>&1 || missing="$missing rhash"
command -v hashdeep >/dev/null 2>&1 || missing="$missing hashdeep"
command -v strace >/dev/null 2>&1 || missing="$missing strace"
if [ -n "$missing" ]; then
  echo "scan_bench: installing$missing" >&2
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get install -y $missing >/dev/null 2>&1 ||
    { $SUDO apt-get update >/dev/null 2>&1 && $SUDO apt-get install -y $missing >/dev/null 2>&1; } ||
    echo "scan_bench: could not install$missing; those peers are skipped" >&2
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/scan-bench-XXXXXX")
cleanup() { [ -n "${KEEP_TREE:-}" ] || rm -rf "$WORK"; }
trap cleanup EXIT
TREE=$WORK/tree
mkdir -p "$TREE"

echo "making $FILES files in $DIRS directories and 3 x $BIG_MB MB in $TREE" >&2
python3 - "$TREE" "$FILES" "$DIRS" "$BIG_MB" <<'EOF'
import os, random, sys
tree, files, dirs, big_mb = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
rng = random.Random(1)
pool = os.urandom(1 << 20)
for d in range(dirs):
    os.makedirs(os.path.join(tree, "d%03d" % d), exist_ok=True)
for i in range(files):
    size = rng.randint(0, 65536)
    start = rng.randint(0, len(pool) - size)
    with open(os.path.join(tree, "d%03d" % (i % dirs), "f%06d.bin" % i), "wb") as f:
        f.write(pool[start:start + size])
chunk = os.urandom(1 << 20)
for b in range(3):
    with open(os.path.join(tree, "big%d.bin" % b), "wb") as f:
        for _ in range(big_mb):
            f.write(chunk)
EOF

# Page cache: read everything once.
"$FLOOR" "$TREE" >/dev/null

export CHECKER_APPDIR="$WORK/app" XDG_CONFIG_HOME="$WORK/config"
mkdir -p "$CHECKER_APPDIR" "$XDG_CONFIG_HOME"

now() { date +%s.%N; }

# best NAME COMMAND...: runs the command RUNS times, prints the best wall time and
# leaves it in $last.
best() {
  name=$1
  shift
  best_time=""
  last=0
  i=0
  while [ "$i" -lt "$RUNS" ]; do
    start=$(now)
    if ! "$@" >/dev/null 2>&1; then
      echo "scan_bench: $name failed" >&2
      return 0
    fi
    end=$(now)
    t=$(echo "$end - $start" | bc -l 2>/dev/null || awk "BEGIN { print $end - $start }")
    if [ -z "$best_time" ] || [ "$(awk "BEGIN { print ($t < $best_time) }")" = 1 ]; then
      best_time=$t
    fi
    i=$((i + 1))
  done
  printf '%-28s %8.3f s\n' "$name" "$best_time"
  last=$best_time
}

scan() {
  "$CLI" scan --quiet --list "$WORK/run.v00" --tree "$WORK/run.t00" "$TREE"
}
pipe_xxhsum() { find "$TREE" -type f -print0 | xargs -0 xxhsum -H3 >/dev/null; }
pipe_cksum() { find "$TREE" -type f -print0 | xargs -0 cksum >/dev/null; }
rhash_crc() { rhash -r --crc32 "$TREE" >/dev/null; }
hashdeep_md5() { hashdeep -c md5 -r "$TREE" >/dev/null; }

echo "best of $RUNS runs, page-cached tree:"
best "checker-cli scan" scan
scan_time=$last
best "floor (walk + read)" "$FLOOR" "$TREE"
floor_time=$last
command -v xxhsum >/dev/null 2>&1 && best "find | xargs xxhsum -H3" pipe_xxhsum
best "find | xargs cksum" pipe_cksum
command -v rhash >/dev/null 2>&1 && best "rhash -r --crc32" rhash_crc
command -v hashdeep >/dev/null 2>&1 && best "hashdeep -c md5 -r" hashdeep_md5

awk "BEGIN { if ($floor_time > 0) printf \"checker-cli / floor: %.2f (target 1.5 or less)\\n\", $scan_time / $floor_time }"

# per_file NAME COMMAND...: system calls per file of one run of the command.
per_file() {
  name=$1
  shift
  strace -c -f -o "$WORK/strace.out" "$@" >/dev/null 2>&1 || true
  awk -v name="$name" -v files="$file_count" '
    $NF ~ /^(statx|newfstatat|openat|read|pread64|close|getdents64)$/ { calls[$NF] = $4 }
    $NF == "total" { total = $4 }
    END {
      printf "%-28s", name
      n = split("statx newfstatat openat read pread64 close getdents64", order, " ")
      for (i = 1; i <= n; i++) printf " %s %.3f", order[i], calls[order[i]] / files
      printf "  all %.2f\n", total / files
    }' "$WORK/strace.out"
}

if command -v strace >/dev/null 2>&1; then
  file_count=$(find "$TREE" -type f | wc -l)
  echo "system calls per file ($file_count files):"
  per_file "checker-cli scan" "$CLI" scan --quiet --list "$WORK/run.v00" --tree "$WORK/run.t00" \
    "$TREE"
  per_file "floor (walk + read)" "$FLOOR" "$TREE"
else
  echo "scan_bench: strace not found; no system call counts" >&2
fi
