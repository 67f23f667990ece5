#!/usr/bin/env bash
# scrub at scale and at its pace:
#   - choosing the files of a run from a history of FILES lines, for each seed
#     (bench/scrub_select_tool: names like a real disk's; the time and peak memory);
#   - --rate 50M over a tree read from a dropped cache: the bytes of every 10 s window
#     and the CPU time against the wall time (bench/scrub_rate.py), on a tree whose tail
#     is small files and on one of mixed sizes (4 kB to 25 MB);
#   - a whole volume scrubbed with no budget or rate against verify of it, alternately,
#     each from a dropped cache, then warm (RUNS pairs of each: the medians, and the
#     median of the ratios pair by pair, which holds while the machine's speed drifts),
#     on both trees, with the load average beside each figure.
# Dropping the cache needs root; without it the reads come from memory.
#
# Usage: bench/scrub_bench.sh [BUILD_DIR]   (default: build-bench; a Release build)
# Env:   FILES (10000000), SEEDS ("1 2 3"), TREE_MB (1200), RUNS (5),
#        STAGES ("select rate volume": which of the three to run),
#        WORK (a new temp dir, removed at the end; a WORK given is kept)

set -eu

BUILD=${1:-build-bench}
FILES=${FILES:-10000000}
SEEDS=${SEEDS:-"1 2 3"}
TREE_MB=${TREE_MB:-1200}
RUNS=${RUNS:-5}
STAGES=${STAGES:-"select rate volume"}
CLI=$(realpath "$BUILD/checker-cli")
TOOL=$(realpath "$BUILD/bench/scrub_select_tool")
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${WORK:-}" ]; then
  WORK=$(mktemp -d)
  trap 'rm -rf "$WORK"' EXIT
fi
mkdir -p "$WORK"/{tree,mixed,catalogue,app,config,cache,data}
export CHECKER_APPDIR=$WORK/app XDG_CONFIG_HOME=$WORK/config XDG_CACHE_HOME=$WORK/cache
export XDG_DATA_HOME=$WORK/data

drop() { sync; echo 3 >/proc/sys/vm/drop_caches 2>/dev/null || true; }
stage() { [[ " $STAGES " == *" $1 "* ]]; }

if stage select; then
  echo "== choosing from a history of $FILES lines"
  for seed in $SEEDS; do
    history=$WORK/history-$seed.db
    [ -f "$history" ] || "$TOOL" build "$history" "$FILES" "$seed"
    "$TOOL" select "$history" "$FILES" "$seed"
  done
fi

stage rate || stage volume || exit 0
if [ ! -f "$WORK/catalogue/Tree.v00" ]; then
  echo "== the tree: $TREE_MB MB in files of 25 MB, then 300 kB"
  for ((i = 0; i < TREE_MB * 9 / 250; ++i)); do
    head -c 25000000 /dev/urandom >"$WORK/tree/big$i.bin"
  done
  for ((i = 0; i < TREE_MB / 3; ++i)); do head -c 300000 /dev/urandom >"$WORK/tree/small$i.bin"; done
  "$CLI" scan --quiet --no-backup --list "$WORK/catalogue/Tree.v00" --tree "$WORK/Tree.t00" \
    --label TREE "$WORK/tree"
fi

[ -f "$WORK/catalogue/Mixed.v00" ] || python3 - "$WORK/mixed" "$TREE_MB" <<'PY'
import os, random, sys
random.seed(5)
total, i = 0, 0
while total < int(sys.argv[2]) * 1000000:
    size = int(2 ** random.uniform(12, 24.6))
    with open(f"{sys.argv[1]}/m{i:04d}.bin", "wb") as f:
        f.write(os.urandom(size))
    total, i = total + size, i + 1
PY
[ -f "$WORK/catalogue/Mixed.v00" ] ||
  "$CLI" scan --quiet --no-backup --list "$WORK/catalogue/Mixed.v00" --tree "$WORK/Mixed.t00" \
    --label MIXED "$WORK/mixed"

stage rate && for list in Tree Mixed; do
  echo "== --rate 50M --idle: $list (load $(cut -d' ' -f1-3 /proc/loadavg))"
  drop
  python3 "$here/scrub_rate.py" 52428800 "$CLI" scrub --catalogue "$WORK/catalogue" --budget 100% --rate 50M --idle \
    "$WORK/catalogue/$list.v00"
done

stage volume || exit 0
for list in Tree Mixed; do
  echo "== a whole volume: scrub against verify of $list (seconds)"
  for cache in dropped warm; do
    : >"$WORK/times"
    for ((run = 0; run < RUNS; ++run)); do
      [ $cache = dropped ] && drop
      /usr/bin/time -f "verify %e" -a -o "$WORK/times" "$CLI" verify "$WORK/catalogue/$list.v00" \
        >/dev/null 2>&1
      [ $cache = dropped ] && drop
      /usr/bin/time -f "scrub %e" -a -o "$WORK/times" "$CLI" scrub --catalogue "$WORK/catalogue" \
        --budget 100% "$WORK/catalogue/$list.v00"
    done
    echo "-- $cache cache (load $(cut -d' ' -f1-3 /proc/loadavg))"
    python3 - "$WORK/times" <<'PY'
import statistics, sys
times = {"verify": [], "scrub": []}
for line in open(sys.argv[1]):
    what, seconds = line.split()
    times[what].append(float(seconds))
for what, each in times.items():
    print(f"{what} median {statistics.median(each):.2f} s of {len(each)}")
ratios = [s / v for s, v in zip(times["scrub"], times["verify"])]
print(f"scrub / verify: median {statistics.median(ratios):.3f} (from {min(ratios):.3f} to {max(ratios):.3f})")
PY
  done
done
