#!/usr/bin/env bash
# The scan's directory walk (options 70: directories listed, every file's size summed)
# against `find DIR -printf '%s\n'` on the same tree, both in the page cache.
#
#   bench/walk_vs_find.sh BUILD_DIR [TREE_DIR]
#
# Without TREE_DIR a tree of 200,000 entries in 2,000 directories is built in a temp dir
# and removed afterwards. Prints the best of ROUNDS (default 5) runs of each and the ratio.
set -euo pipefail

build=${1:?usage: walk_vs_find.sh BUILD_DIR [TREE_DIR]}
tool="$build/bench/walk_tool"
[ -x "$tool" ] || { echo "walk_vs_find: $tool is missing (build target walk_tool)" >&2; exit 2; }
rounds=${ROUNDS:-5}
params='/EP recycler|recycled|temp|tmp|system volume information|#recycled'

if [ $# -ge 2 ]; then
  tree=$2
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  tree="$work/tree"
  "$tool" make "$tree" 2000 200000
fi

# Prints "real cpu" in milliseconds for one run of the command (cpu = user + system).
measure() {
  local TIMEFORMAT='%3R %3U %3S' t
  t=$( { time "$@" >/dev/null 2>&1; } 2>&1 )
  awk '{printf "%d %d\n", $1 * 1000, ($2 + $3) * 1000}' <<<"$t"
}

# Warm the page cache with both.
find "$tree" -printf '%s\n' >/dev/null
"$tool" walk "$tree" --options 70 --params "$params" --repeat 1

# Both are timed from outside, process start-up included, so they compare alike. On a
# busy machine the CPU times are the steadier figure.
find_real=999999 find_cpu=999999 walk_real=999999 walk_cpu=999999
for ((i = 0; i < rounds; i++)); do
  read -r real cpu < <(measure find "$tree" -printf '%s\n')
  ((real < find_real)) && find_real=$real
  ((cpu < find_cpu)) && find_cpu=$cpu
  read -r real cpu < <(measure "$tool" walk "$tree" --options 70 --params "$params" --repeat 1)
  ((real < walk_real)) && walk_real=$real
  ((cpu < walk_cpu)) && walk_cpu=$cpu
done
echo "find: best real $find_real ms, best cpu $find_cpu ms"
echo "walk: best real $walk_real ms, best cpu $walk_cpu ms"
awk -v wr="$walk_real" -v fr="$find_real" -v wc="$walk_cpu" -v fc="$find_cpu" \
  'BEGIN{printf "walk / find: real %.2f, cpu %.2f\n", wr / fr, wc / fc}'
