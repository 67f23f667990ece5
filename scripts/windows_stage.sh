#!/usr/bin/env bash
# The Windows stage of ./test: the cross compiler, wine and the Windows libraries when
# missing (scripts/windows_deps.sh), the cross build of checker-cli.exe and the engine's
# and command line's test binaries, then each binary once under wine through ctest.
# Prints what each step cost and gtest's counts per binary.
#
# Usage: scripts/windows_stage.sh [--prepare | --build | --tests]
#   --prepare: only the libraries and wine's prefix (./test makes them while it builds);
#   --build: only the build; --tests: only the tests of a build made before.
#   CHECKER_WIN_DEPS: a folder of the libraries made before.
set -euo pipefail
source "$(dirname "$0")/common.sh"

build=$checker_root/build-win
TIMEFORMAT='   took %1R s wall, %1U s user + %1S s system CPU'
stage_start=$SECONDS
test_binaries=(platform support fs content lists names scan catalogue audit repair scrub cli)

deps=${CHECKER_WIN_DEPS:-$build/deps}
# A prefix of the build's own, so that nothing of the user's ~/.wine changes.
export WINEPREFIX=$build/wine WINEDEBUG=-all

if [ "${1:-}" = --prepare ]; then
  bash "$checker_root/scripts/windows_deps.sh" "$deps" >/dev/null
  echo "== Windows tests: wine's prefix" >&2
  time { [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1; wineserver -k 2>/dev/null || true; }
  exit 0
fi

build_windows() {
  echo "== Windows build (MinGW-w64)"
  bash "$checker_root/scripts/windows_deps.sh" "$deps" >/dev/null
  echo "== Windows build: configure" >&2
  time cmake -S "$checker_root" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$checker_root/cmake/mingw-w64.cmake" -DCHECKER_WIN_DEPS="$deps" \
    -DCMAKE_BUILD_TYPE=Release -DCHECKER_BENCH=OFF -DCHECKER_DESKTOP=OFF >/dev/null
  echo "== Windows build: checker-cli.exe and the test binaries" >&2
  time cmake --build "$build" -j "$(nproc)" --target checker-cli "${test_binaries[@]/%/_tests}" \
    >"$build/build.log" || { tail -50 "$build/build.log"; exit 1; }
}

mode=${1:-all}
[ "$mode" = --tests ] || build_windows
[ "$mode" = --build ] && exit 0

echo "== Windows tests under wine"

# One wineserver for the whole stage, so that each binary starts in well under a second.
end_wine() {
  wineserver -k 2>/dev/null || true
  # A winedevice.exe of this prefix may outlive its server.
  local pid
  for pid in $(pgrep -x winedevice.exe 2>/dev/null || true); do
    if { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      kill "$pid" 2>/dev/null || true
    fi
  done
}
trap end_wine EXIT
echo "== Windows tests: wine's prefix and server" >&2
# The prefix's services start here, their output going nowhere: started by the first test
# instead, they would hold ctest's pipe open after that test ended. Wine calls a Unix name
# with a leading dot hidden in some of its calls and not in others; Windows has no such
# rule, so the prefix shows them as plain files everywhere.
start_wine() {
  [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1 || return 1
  wineserver -p 2>/dev/null || true  # 2: a server of this prefix runs already
  wineboot >/dev/null 2>&1 || return 1
  # Once seen refused while the services were still starting: asked again.
  local try
  for try in 1 2 3; do
    wine reg add 'HKCU\Software\Wine' /v ShowDotFiles /d Y /f >/dev/null 2>&1 && return 0
    sleep 1
  done
  return 1
}
time start_wine || { echo "wine could not start in $WINEPREFIX" >&2; exit 1; }

echo "== Windows tests: one ctest entry per binary under wine" >&2
rm -rf "$build/gtest"
status=0
time ctest --test-dir "$build" --output-on-failure -j "$(nproc)" || status=$?

# gtest's own counts: what ran and what skipped itself (json), and what
# tests/windows_skips.txt left out (all the binary lists, less what ran).
printf '%-16s %6s %8s %9s %7s\n' binary ran skipped left-out failed
for b in "${test_binaries[@]}"; do
  json=$build/gtest/${b}_tests.json
  [ -f "$json" ] || { printf '%-16s (no results)\n' "${b}_tests"; continue; }
  total=$(grep -m1 -o '"tests": [0-9]*' "$json" | grep -o '[0-9]*')
  failed=$(grep -m1 -o '"failures": [0-9]*' "$json" | grep -o '[0-9]*')
  skipped=$(grep -c '"result": "SKIPPED"' "$json" || true)
  listed=$(wine "$build/tests/${b}_tests.exe" --gtest_list_tests 2>/dev/null | grep -c '^  ' || true)
  printf '%-16s %6s %8s %9s %7s\n' "${b}_tests" "$((total - skipped))" "$skipped" \
    "$((listed - total))" "$failed"
done
echo "== Windows stage: $((SECONDS - stage_start)) s"
exit "$status"
