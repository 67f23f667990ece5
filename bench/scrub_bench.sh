#!/usr/bin/env bash
# scrub at scale and at its pace:
#   - choosing the files of a run from a history of FILES lines, for each seed
#     (bench/scrub_select_tool: names like a real disk's; the time and peak memory);
#   - --rate 50M over a tree read from a dropped cache: the bytes of every 10 s window
#     and the CPU time against the wall time (bench/scrub_rate.py);
#   - a whole volume scrubbed with no budget or rate against verify of it, alternately,
#     each from a dropped cache (RUNS of each, the median).
# Dropping the cache needs root; without it the reads come from memory.
#
# Usage: bench/scrub_bench.sh [BUILD_DIR]   (default: build-bench; a Release build)
# Env:   FILES (10000000), SEEDS ("1 2 3"), TREE_MB (1200), RUNS (5),
#        WORK (a new temp dir, removed at the end; a WORK given is kept)

set -eu

BUILD=${1:-build-bench}
FILES=${FILES:-10000000}
SEEDS=${SEEDS:-"1 2 3"}
TREE_MB=${TREE_MB:-1200}
RUNS=${RUNS:-5}
CLI=$(realpath "$BUILD/checker-cli")
TOOL=$(realpath "$BUILD/bench/scrub_select_tool")
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${WORK:-}" ]; then
  WORK=$(mktemp -d)
  trap 'rm -rf "$WORK"' EXIT
fi
mkdir -p "$WORK"/{tree,catalogue,app,config,cache,data}
export CHECKER_APPDIR=$WORK/app XDG_CONFIG_HOME=$WORK/config XDG_CACHE_HOME=$WORK/cache
export XDG_DATA_HOME=$WORK/data

drop() { sync; echo 3 >/proc/sys/vm/drop_caches 2>/dev/null || true; }

echo "== choosing from a history of $FILES lines"
for seed in $SEEDS; do
  history=$WORK/history-$seed.db
  [ -f "$history" ] || "$TOOL" build "$history" "$FILES" "$seed"
  "$TOOL" select "$history" "$FILES" "$seed"
done

echo "== the tree: $TREE_MB MB in files of 25 MB, then 300 kB"
for ((i = 0; i < TREE_MB * 9 / 250; ++i)); do
  head -c 25000000 /dev/urandom >"$WORK/tree/big$i.bin"
done
for ((i = 0; i < TREE_MB / 3; ++i)); do head -c 300000 /dev/urandom >"$WORK/tree/small$i.bin"; done
"$CLI" scan --quiet --no-backup --list "$WORK/catalogue/Tree.v00" --tree "$WORK/Tree.t00" \
  --label TREE "$WORK/tree"

echo "== --rate 50M --idle"
drop
python3 "$here/scrub_rate.py" 52428800 "$CLI" scrub --catalogue "$WORK/catalogue" \
  --budget 100% --rate 50M --idle

echo "== a whole volume: scrub against verify (seconds, each from a dropped cache)"
for ((run = 0; run < RUNS; ++run)); do
  drop
  /usr/bin/time -f "verify %e" "$CLI" verify "$WORK/catalogue/Tree.v00" >/dev/null 2>>"$WORK/times"
  drop
  /usr/bin/time -f "scrub %e" "$CLI" scrub --catalogue "$WORK/catalogue" --budget 100% \
    2>>"$WORK/times"
done
for what in verify scrub; do
  grep "^$what " "$WORK/times" | sort -k2 -n | awk -v n="$RUNS" -v w="$what" \
    'NR == int((n + 1) / 2) { print w " median " $2 " s" }'
done
