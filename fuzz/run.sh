#!/usr/bin/env bash
# Runs every libFuzzer harness of a fuzz build for SECONDS each, as many at once as
# there are cores. Each run first replays its seed corpus (fuzz/corpus/<name>/) and the
# inputs earlier runs kept, then mutates. Prints one line per harness: executions,
# time, coverage and what the run kept; on a failure also the end of its log and where
# the input that broke it was saved. Exits 1 when any harness failed.
#
#   fuzz/run.sh SECONDS BUILD_DIR [--fresh] [NAME...]
#
# --fresh drops the inputs earlier runs kept, so the run costs the same every time.
# NAMEs (pattern, ini, ...) run only those harnesses.
set -uo pipefail
seconds=$1
build=$2
shift 2
fresh=
if [ "${1:-}" = --fresh ]; then
  fresh=--fresh
  shift
fi
only=("$@")
root=$(cd "$(dirname "$0")/.." && pwd)
logs=$build/fuzz-logs
kept=$build/fuzz-corpus
artifacts=$build/fuzz-artifacts
[ "$fresh" = --fresh ] && rm -rf "$kept"
rm -rf "$logs"
mkdir -p "$logs" "$kept" "$artifacts"

# Only harnesses with a source here: a build tree may still hold one since renamed.
mapfile -t harnesses < <(find "$build/fuzz" -maxdepth 1 -name '*_fuzz' -type f -perm -u+x | sort |
  while read -r exe; do [ -f "$root/fuzz/$(basename "$exe").cpp" ] && echo "$exe"; done)
if [ ${#only[@]} -gt 0 ]; then
  mapfile -t harnesses < <(for name in "${only[@]}"; do echo "$build/fuzz/${name}_fuzz"; done)
fi
if [ ${#harnesses[@]} -eq 0 ]; then
  echo "fuzz: no harness built in $build/fuzz" >&2
  exit 1
fi

run_one() {
  local exe=$1 name
  name=$(basename "$exe" _fuzz)
  mkdir -p "$kept/$name"
  # New inputs go to the first directory, never into the seed corpus of the repository.
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/$name-" "$kept/$name" "$root/fuzz/corpus/$name" \
    >"$logs/$name.log" 2>&1
  echo $? >"$logs/$name.rc"
}

jobs_max=$(nproc)
for exe in "${harnesses[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs_max" ]; do wait -n; done
  run_one "$exe" &
done
wait

status=0
failed=0
for exe in "${harnesses[@]}"; do
  name=$(basename "$exe" _fuzz)
  log=$logs/$name.log
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
  corpus=$(grep -oE 'corp: [0-9]+/[0-9]+[a-zA-Z]*' "$log" | tail -1)
  printf '%-12s %10s runs in %ss (%s/s)  %s  %s\n' "$name" "${runs:-?}" "$seconds" \
    "${rate:-?}" "${cov:-cov: ?}" "${corpus:-}"
  if [ "$(cat "$logs/$name.rc")" != 0 ]; then
    status=1
    failed=$((failed + 1))
    echo "fuzz: $name FAILED; the end of $log:" >&2
    tail -40 "$log" >&2
  fi
done
echo "fuzz: $((${#harnesses[@]} - failed)) passed, $failed failed"
exit $status
