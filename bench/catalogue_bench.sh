#!/usr/bin/env bash
# The catalogue at scale: a made-up catalogue of LISTS id lists with FILES files in all
# (bench/catalogue_tool: realistic paths, a third of the files on two volumes), then:
#   - the first index (checker-cli volumes, with its progress), wall time and peak memory;
#   - a check of the unchanged catalogue (best of 5);
#   - the refresh after one list (LISTS/50 of the files) was written again;
#   - 100 name queries, warm: the first 100 results and the count of all
#     (bench/catalogue_query_tool);
#   - copies --under 2 of one list;
#   - the index's size beside the lists'.
#
# Usage: bench/catalogue_bench.sh [BUILD_DIR]   (default: build-bench; a Release build)
# Env:   LISTS (50), FILES (10000000), WORK (a new temp dir, removed at the end; a WORK
#        given is kept)

set -eu

BUILD=${1:-build-bench}
LISTS=${LISTS:-50}
FILES=${FILES:-10000000}
CLI=$BUILD/checker-cli
TOOL=$BUILD/bench/catalogue_tool
QUERY=$BUILD/bench/catalogue_query_tool
for program in "$CLI" "$TOOL" "$QUERY"; do
  if [ ! -x "$program" ]; then
    echo "catalogue_bench: $program not found; build first (cmake --build $BUILD)" >&2
    exit 2
  fi
done
if [ -n "${WORK:-}" ]; then
  work=$WORK
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work/lists"
export XDG_CACHE_HOME=$work/cache CHECKER_APPDIR=$work/app XDG_CONFIG_HOME=$work/config
lists=$work/lists
df -h "$work" | tail -1
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"

# "SECONDS s, PEAK MB" of a command, its output dropped.
timed() {
  /usr/bin/time -f '%e s, peak %M KB' "$@" 2>&1 >/dev/null | grep -v '^checker-cli: indexing list' |
    tail -1
}

if ! ls "$lists"/*.v00 >/dev/null 2>&1; then
  echo "generating $LISTS lists, $FILES files: $(timed "$TOOL" "$lists" "$LISTS" "$FILES")"
fi
echo "lists: $(du -sh "$lists" | cut -f1)"
echo "first index: $(/usr/bin/time -f '%e s, peak %M KB' "$CLI" volumes --catalogue "$lists" \
  --progress 2>&1 >/dev/null | grep -vE '^checker-cli: indexing list ([2-9]|[1-9][0-9]+) ' |
  tr '\n' ' ')"
best=
for _ in 1 2 3 4 5; do
  t=$(/usr/bin/time -f '%e' "$CLI" volumes --catalogue "$lists" 2>&1 >/dev/null | tail -1)
  if [ -z "$best" ] || awk "BEGIN { exit !($t < $best) }"; then best=$t; fi
done
echo "unchanged check: $best s (best of 5)"
"$TOOL" "$lists" "$LISTS" "$FILES" 7 1 >/dev/null
echo "refresh after one list changed: $(timed "$CLI" volumes --catalogue "$lists")"
"$QUERY" "$lists" | tail -3
name=$(cd "$lists" && ls | sed -n 8p)
echo "copies --under 2 of ${name}: $(timed "$CLI" copies --catalogue "$lists" --under 2 "$lists/$name")"
echo "copies --under 2 lines: $("$CLI" copies --catalogue "$lists" --under 2 "$lists/$name" 2>/dev/null | wc -l)"
echo "index: $(du -sh "$XDG_CACHE_HOME/checker" | cut -f1) beside lists of $(du -sh "$lists" | cut -f1)"
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
