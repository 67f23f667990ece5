#!/usr/bin/env bash
# Times whole scans against the floor (bench/floor_tool: the fewest system calls that walk
# a tree and read every file on one thread, nothing computed), against `cat` of one large
# file, and against other tools that read every file of a tree; all in one run, on
# page-cached files. Then counts the system calls per file of the scans and of the floor
# (strace -c -f).
#
# Usage: bench/scan_bench.sh [BUILD_DIR]     (default: build; a Release build)
# Env:   FILES (40000), DIRS (200), BIG_MB (100), ONE_MB (1024), RUNS (5), KEEP_TREE
#
# The tree: FILES files of 0-64 KiB spread over DIRS directories, plus three files of
# BIG_MB MB; beside it a folder holding one file of ONE_MB MB. Both are made in a temp dir
# and removed at the end. The commands take turns, RUNS rounds, and the best time of each
# counts, so that a load that comes and goes hits all of them alike; the load before and
# after is printed with the figures. Wall times; user + system CPU beside them.

set -eu

BUILD=${1:-build}
CLI=$BUILD/checker-cli
FLOOR=$BUILD/bench/floor_tool
FILES=${FILES:-40000}
DIRS=${DIRS:-200}
BIG_MB=${BIG_MB:-100}
ONE_MB=${ONE_MB:-1024}
RUNS=${RUNS:-5}

for program in "$CLI" "$FLOOR"; do
  if [ ! -x "$program" ]; then
    echo "scan_bench: $program not found; build first (cmake --build $BUILD)" >&2
    exit 2
  fi
done

# The peers and strace, installed when missing.
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
    echo "scan_bench: could not install$missing; those are skipped" >&2
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/scan-bench-XXXXXX")
cleanup() { [ -n "${KEEP_TREE:-}" ] || rm -rf "$WORK"; }
trap cleanup EXIT
TREE=$WORK/tree
ONE=$WORK/one
mkdir -p "$TREE" "$ONE"

echo "making $FILES files in $DIRS directories and 3 x $BIG_MB MB in $TREE," \
  "and one file of $ONE_MB MB in $ONE" >&2
python3 "$(dirname "$0")/scan_tree.py" "$TREE" "$FILES" "$DIRS" "$BIG_MB" "$ONE" "$ONE_MB"

# Page cache: read everything once.
"$FLOOR" "$TREE" >/dev/null
cat "$ONE/one.bin" >/dev/null

export CHECKER_APPDIR="$WORK/app" XDG_CONFIG_HOME="$WORK/config"
mkdir -p "$CHECKER_APPDIR" "$XDG_CONFIG_HOME"

scan_tree() { "$CLI" scan --quiet --list "$WORK/run.v00" --tree "$WORK/run.t00" "$@" "$TREE"; }
scan_one() { "$CLI" scan --quiet --list "$WORK/one.v00" --tree "$WORK/one.t00" "$@" "$ONE"; }
pipe_xxhsum() { find "$TREE" -type f -print0 | xargs -0 xxhsum -H3 >/dev/null; }
pipe_cksum() { find "$TREE" -type f -print0 | xargs -0 cksum >/dev/null; }
rhash_crc() { rhash -r --crc32 "$TREE" >/dev/null; }
hashdeep_md5() { hashdeep -c md5 -r "$TREE" >/dev/null; }

names=("checker-cli scan" "checker-cli scan --threads 1" "checker-cli scan --threads 2"
  "floor (walk + read)")
commands=("scan_tree" "scan_tree --threads 1" "scan_tree --threads 2" "$FLOOR $TREE")
command -v xxhsum >/dev/null 2>&1 && names+=("find | xargs xxhsum -H3") && commands+=(pipe_xxhsum)
names+=("find | xargs cksum")
commands+=(pipe_cksum)
command -v rhash >/dev/null 2>&1 && names+=("rhash -r --crc32") && commands+=(rhash_crc)
command -v hashdeep >/dev/null 2>&1 && names+=("hashdeep -c md5 -r") && commands+=(hashdeep_md5)
names+=("checker-cli scan, one file" "checker-cli scan --threads 1, one file"
  "checker-cli scan --threads 2, one file" "cat of the file")
commands+=("scan_one" "scan_one --threads 1" "scan_one --threads 2" "cat $ONE/one.bin")

declare -A best_wall best_cpu
TIMEFORMAT="%R %U %S"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for ((round = 0; round < RUNS; round++)); do
  for i in "${!commands[@]}"; do
    if ! times=$({ time eval "${commands[$i]}" >/dev/null 2>&1; } 2>&1); then
      echo "scan_bench: ${names[$i]} failed" >&2
      continue
    fi
    read -r wall user system <<<"$times"
    cpu=$(awk "BEGIN { print $user + $system }")
    if [ -z "${best_wall[$i]:-}" ] || awk "BEGIN { exit !($wall < ${best_wall[$i]}) }"; then
      best_wall[$i]=$wall
      best_cpu[$i]=$cpu
    fi
  done
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

echo "$(nproc) cores; load average before: $load_before, after: $load_after"
# An automatic run reads with one thread when the volume sits on a spinning disk.
numbers=$(findmnt -no MAJ:MIN -T "$WORK" 2>/dev/null | head -1 | tr -d ' ')
rotational=0
if [ -n "$numbers" ] && [ -e "/sys/dev/block/$numbers" ]; then
  node=$(readlink -f "/sys/dev/block/$numbers")
  [ -e "$node/partition" ] && node=$(dirname "$node")
  [ -r "$node/queue/rotational" ] && rotational=$(cat "$node/queue/rotational")
fi
echo "the files' volume ($(findmnt -no FSTYPE -T "$WORK" 2>/dev/null | head -1)):" \
  "rotational $rotational, so checker-cli scan chose" \
  "$([ "$rotational" = 1 ] && echo 1 || echo "min(cores, 8)") reader(s)"
echo "best of $RUNS rounds, page-cached files (wall, and user + system CPU of that run):"
for i in "${!names[@]}"; do
  printf '%-40s %8.3f s  (cpu %.3f s)\n' "${names[$i]}" "${best_wall[$i]:-0}" "${best_cpu[$i]:-0}"
done
ratio() { awk "BEGIN { if ($2 > 0) printf \"%-40s %.2f (target %s or less)\\n\", \"$1\", $3 / $2, \"$4\" }"; }
ratio "checker-cli scan / floor:" "${best_wall[3]}" "${best_wall[0]}" 0.75
ratio "checker-cli scan --threads 1 / floor:" "${best_wall[3]}" "${best_wall[1]}" 1.2
last=$((${#names[@]} - 1))
ratio "checker-cli scan --threads 2 / floor:" "${best_wall[3]}" "${best_wall[2]}" 0.75
ratio "one file: checker-cli scan / cat:" "${best_wall[$last]}" "${best_wall[$((last - 3))]}" 0.8
ratio "one file: --threads 2 / cat:" "${best_wall[$last]}" "${best_wall[$((last - 1))]}" 0.8

# per_file NAME COMMAND...: system calls per file of one run of the command.
per_file() {
  name=$1
  shift
  strace -c -f -o "$WORK/strace.out" "$@" >/dev/null 2>&1 || true
  awk -v name="$name" -v files="$file_count" '
    $NF ~ /^(statx|newfstatat|openat|read|pread64|close|getdents64)$/ { calls[$NF] = $4 }
    $NF == "total" { total = $4 }
    END {
      printf "%-30s", name
      n = split("statx newfstatat openat read pread64 close getdents64", order, " ")
      for (i = 1; i <= n; i++) printf " %s %.3f", order[i], calls[order[i]] / files
      printf "  all %.2f\n", total / files
    }' "$WORK/strace.out"
}

if command -v strace >/dev/null 2>&1; then
  file_count=$(find "$TREE" -type f | wc -l)
  echo "system calls per file ($file_count files):"
  list_args=(--quiet --list "$WORK/run.v00" --tree "$WORK/run.t00")
  per_file "checker-cli scan --threads 1" "$CLI" scan "${list_args[@]}" --threads 1 "$TREE"
  per_file "checker-cli scan" "$CLI" scan "${list_args[@]}" "$TREE"
  per_file "floor (walk + read)" "$FLOOR" "$TREE"
else
  echo "scan_bench: strace not found; no system call counts" >&2
fi
