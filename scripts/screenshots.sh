#!/usr/bin/env bash
# Takes the README's screenshots of the desktop program into docs/: the real window
# driven through a scan of a small tree, on the offscreen platform (or, with
# SCREENSHOT_PLATFORM=xcb, on the X display or an Xvfb you started; SCREENSHOT_SIZE=WxH for
# another window size).
set -euo pipefail
source "$(dirname "$0")/common.sh"
install_missing
build_dir="$checker_root/build"
cmake -S "$checker_root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DCHECKER_TESTS=OFF \
  -DCHECKER_BENCH=OFF >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target checker_screenshots
settings=$(mktemp -d /tmp/checker.XXXXXX)
trap 'rm -rf "$settings"' EXIT
CHECKER_APPDIR="$settings" QT_QPA_PLATFORM="${SCREENSHOT_PLATFORM:-offscreen}" \
  "$build_dir/checker_screenshots" "$checker_root/docs"
echo "docs/settings-page.png, docs/run-page.png, docs/edit1-page.png, docs/audit-page.png, docs/run-page-problems.png and docs/find-page.png written"
