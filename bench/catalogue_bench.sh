#!/usr/bin/env bash
# The catalogue at scale, against plocate on the same paths in the same run. For each
# seed: a made-up catalogue of LISTS id lists with FILES files in all (bench/catalogue_tool:
# names like real disks, a third of the files on two or more volumes, one more list of
# IDENTICAL copies of one file), then:
#   - the first index (checker-cli volumes), wall time and peak memory; plocate-build of
#     the same paths;
#   - a check of the unchanged catalogue (best of 5);
#   - the refresh after one line of a list changed, and after one list was replaced whole
#     (the disk wiped and filled anew);
#   - 100 mixed name queries as whole commands, one fresh process each: the time until
#     the first 100 results are out, and until the command ends (checker-cli find
#     --limit 100 against plocate -b -i -l 100; bench/first_results.py), then the count
#     of all (against plocate -b -i -c and grep -F -c over the lists);
#   - the same queries matched against whole paths: find --path against plocate -i;
#   - every count checked against an independent count over the paths (CHECK=1);
#   - copies --under 2 of one list;
#   - the index's size beside the lists'.
#
# Usage: bench/catalogue_bench.sh [BUILD_DIR]   (default: build-bench; a Release build)
# Env:   LISTS (50), FILES (10000000), SEEDS ("1"), IDENTICAL (100000), CHECK (1),
#        WORK (a new temp dir, removed at the end; a WORK given is kept)

set -eu

BUILD=${1:-build-bench}
LISTS=${LISTS:-50}
FILES=${FILES:-10000000}
SEEDS=${SEEDS:-1}
IDENTICAL=${IDENTICAL:-100000}
CHECK=${CHECK:-1}
CLI=$(realpath "$BUILD/checker-cli")
TOOL=$(realpath "$BUILD/bench/catalogue_tool")
here=$(cd "$(dirname "$0")" && pwd)
for program in "$CLI" "$TOOL"; do
  if [ ! -x "$program" ]; then
    echo "catalogue_bench: $program not found; build first (cmake --build $BUILD)" >&2
    exit 2
  fi
done
command -v plocate-build >/dev/null || {
  echo "catalogue_bench: plocate not found (apt-get install plocate)" >&2
  exit 2
}
if [ -n "${WORK:-}" ]; then
  work=$WORK
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi

# "SECONDS s, peak KB" of a command, its output dropped.
timed() {
  /usr/bin/time -f '%e s, peak %M KB' "$@" 2>&1 >/dev/null | tail -1
}
# Milliseconds of one whole command, its output dropped.
ms() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1 || true
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
# "p50 p95" of the numbers on stdin.
percentiles() {
  sort -n | awk '{ v[NR] = $1 } END { printf "%d %d\n", v[int(NR * 0.5 + 0.5)], v[int(NR * 0.95 + 0.5)] }'
}
ratio() { awk "BEGIN { printf \"%.2f\", ($1) / (($2) > 0 ? ($2) : 1) }"; }

for seed in $SEEDS; do
  dir=$work/seed$seed
  lists=$dir/lists
  mkdir -p "$lists"
  export XDG_CACHE_HOME=$dir/cache CHECKER_APPDIR=$dir/app XDG_CONFIG_HOME=$dir/config
  echo "== seed $seed: $LISTS lists, $FILES files, load $(cut -d' ' -f1-3 /proc/loadavg)"
  if ! ls "$lists"/*.v00 >/dev/null 2>&1; then
    echo "generated: $(timed "$TOOL" "$lists" --lists "$LISTS" --files "$FILES" --seed "$seed" \
      --identical "$IDENTICAL" --paths "$dir/paths.txt" --queries "$dir/queries.txt")"
  fi
  echo "lists: $(du -sh "$lists" | cut -f1), paths: $(wc -l <"$dir/paths.txt")"
  echo "plocate-build: $(timed plocate-build -p -l no "$dir/paths.txt" "$dir/plocate.db")"
  echo "first index: $(timed "$CLI" volumes --catalogue "$lists")"
  best=
  for _ in 1 2 3 4 5; do
    t=$(ms "$CLI" volumes --catalogue "$lists")
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  echo "unchanged check: $best ms (best of 5)"
  first=$(ls "$lists"/*.v00 | head -1)
  # The list replaced whole, and the one whose copies are looked up.
  pick=$((LISTS > 7 ? 7 : LISTS - 1))
  name=$(printf 'Disk%02d~%d.v00' "$pick" $((65536 + pick)))
  # One line changed: the first digit of the first file's id.
  perl -pi -e 'if (!$done && s/^(F  )(\d)/$1.(($2+1)%10)/e) { $done = 1 }' "$first"
  echo "refresh after one line changed: $(timed "$CLI" volumes --catalogue "$lists")"
  "$TOOL" "$lists" --lists "$LISTS" --files "$FILES" --seed "$seed" --only "$pick" --replace >/dev/null
  echo "refresh after one list replaced whole: $(timed "$CLI" volumes --catalogue "$lists")"
  "$TOOL" "$lists" --lists "$LISTS" --files "$FILES" --seed "$seed" --only "$pick" >/dev/null
  "$CLI" volumes --catalogue "$lists" >/dev/null

  ours_first=() ours_whole=() theirs_first=() ours_all=() theirs_all=() grep_all=()
  ours_path=() theirs_path=()
  mismatches=0
  truths=()
  [ "$CHECK" = 1 ] && mapfile -t truths < <(python3 "$here/catalogue_count.py" "$dir/paths.txt" "$dir/queries.txt")
  first_ms() { python3 "$here/first_results.py" 100 "$dir/queries.txt" "$@"; }
  while read -r first whole; do ours_first+=("$first") ours_whole+=("$whole"); done < <(
    first_ms "$CLI" find --catalogue "$lists" --limit 100 --)
  while read -r first _; do theirs_first+=("$first"); done < <(
    first_ms plocate -d "$dir/plocate.db" -b -i -l 100 --)
  while read -r first _; do ours_path+=("$first"); done < <(
    first_ms "$CLI" find --catalogue "$lists" --path --limit 100 --)
  while read -r first _; do theirs_path+=("$first"); done < <(
    first_ms plocate -d "$dir/plocate.db" -i -l 100 --)
  n=0
  while IFS= read -r q; do
    start=$(date +%s%N)
    shown=$("$CLI" find --catalogue "$lists" --limit 1 -- "$q" 2>"$dir/find.err" | grep -c . || true)
    ours_all+=($((($(date +%s%N) - start) / 1000000)))
    count=$(sed -n 's/.*(\([0-9][0-9]*\) in all.*/\1/p' "$dir/find.err" | tail -1)
    count=${count:-$shown}
    start=$(date +%s%N)
    plocate_count=$(plocate -d "$dir/plocate.db" -b -i -c -- "$q" 2>/dev/null || true)
    theirs_all+=($((($(date +%s%N) - start) / 1000000)))
    case $q in *'*'* | *'?'*) ;; *) grep_all+=("$(ms grep -F -c -r -- "$q" "$lists")") ;; esac
    if [ "$CHECK" = 1 ]; then
      truth=${truths[$n]}
      if [ "$truth" != - ] && [ "$truth" != "$count" ]; then
        echo "MISMATCH '$q': find counted $count, the paths hold $truth (plocate $plocate_count)"
        mismatches=$((mismatches + 1))
      fi
    fi
    n=$((n + 1))
  done <"$dir/queries.txt"
  read -r o50 o95 < <(printf '%s\n' "${ours_first[@]}" | percentiles)
  read -r p50 p95 < <(printf '%s\n' "${theirs_first[@]}" | percentiles)
  read -r w50 w95 < <(printf '%s\n' "${ours_whole[@]}" | percentiles)
  within=$(printf '%s\n' "${ours_first[@]}" | awk '$1 <= 50' | wc -l)
  echo "first 100 results: p50 $o50 ms, p95 $o95 ms ($within of ${#ours_first[@]} within 50 ms);" \
    "plocate p50 $p50 ms, p95 $p95 ms; ratio p50 $(ratio "$o50" "$p50"), p95 $(ratio "$o95" "$p95");" \
    "whole find command (with its count) p50 $w50 ms, p95 $w95 ms"
  read -r o50 o95 < <(printf '%s\n' "${ours_path[@]}" | percentiles)
  read -r p50 p95 < <(printf '%s\n' "${theirs_path[@]}" | percentiles)
  echo "first 100 results, whole paths: p50 $o50 ms, p95 $o95 ms; plocate p50 $p50 ms, p95 $p95 ms;" \
    "ratio p50 $(ratio "$o50" "$p50"), p95 $(ratio "$o95" "$p95")"
  read -r o50 o95 < <(printf '%s\n' "${ours_all[@]}" | percentiles)
  read -r p50 p95 < <(printf '%s\n' "${theirs_all[@]}" | percentiles)
  read -r g50 g95 < <(printf '%s\n' "${grep_all[@]}" | percentiles)
  echo "count of all: p50 $o50 ms, p95 $o95 ms; plocate p50 $p50 ms, p95 $p95 ms" \
    "(ratio p95 $(ratio "$o95" "$p95")); grep -F -c p50 $g50 ms, p95 $g95 ms"
  [ "$CHECK" = 1 ] && echo "counts checked against the paths: $mismatches mismatches"
  # The first query after the page cache was dropped (as root only), each program apart.
  if [ -w /proc/sys/vm/drop_caches ]; then
    q=$(sed -n 2p "$dir/queries.txt")
    sync && echo 3 >/proc/sys/vm/drop_caches
    cold=$(printf '%s\n' "$q" >"$dir/cold.txt" && python3 "$here/first_results.py" 100 "$dir/cold.txt" "$CLI" find --catalogue "$lists" --limit 100 --)
    sync && echo 3 >/proc/sys/vm/drop_caches
    cold_p=$(python3 "$here/first_results.py" 100 "$dir/cold.txt" plocate -d "$dir/plocate.db" -b -i -l 100 --)
    echo "first query after the cache was dropped ('$q'): first results and end ${cold% *} ms, ${cold#* } ms; plocate ${cold_p% *} ms, ${cold_p#* } ms"
  fi
  echo "copies --under 2 of ${name}: $(timed "$CLI" copies --catalogue "$lists" --under 2 "$lists/$name")"
  echo "copies --under 2 lines: $("$CLI" copies --catalogue "$lists" --under 2 "$lists/$name" 2>/dev/null | wc -l)"
  "$CLI" volumes --catalogue "$lists" >/dev/null
  echo "index: $(du -sh "$XDG_CACHE_HOME/checker" | cut -f1) beside lists of $(du -sh "$lists" | cut -f1); plocate $(du -sh "$dir/plocate.db" | cut -f1)"
done
