#!/usr/bin/env bash
# Which floor of app/ may include which: scripts/lint.sh run over a small tree of its own,
# one include a case, its whole output and its verdict compared with the case's.
set -uo pipefail
lint="$(cd "$(dirname "$0")/.." && pwd)/scripts/lint.sh"
tree=$(mktemp -d "${TMPDIR:-/tmp}/lint_floors.XXXXXX")
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/scripts"
cp "$lint" "$tree/scripts/lint.sh"
git -C "$tree" init -q || exit 1
failures=0
# file | the one include it has | lint's output (empty: the include is allowed)
while IFS='|' read -r file include expected; do
  rm -rf "$tree/app"
  mkdir -p "$tree/$(dirname "$file")"
  printf '#pragma once\n#include "%s"\n' "$include" >"$tree/$file"
  actual=$(bash "$tree/scripts/lint.sh" 2>&1)
  status=$?
  want_status=0
  [ -n "$expected" ] && want_status=1
  if [ "$actual" != "$expected" ] || [ "$status" != "$want_status" ]; then
    printf 'FAIL %s including %s\n  expected (%s): %s\n  actual   (%s): %s\n' "$file" \
      "$include" "$want_status" "$expected" "$status" "$actual"
    failures=$((failures + 1))
  fi
done <<'CASES'
app/kit/a.h|app/kit/b.h|
app/run/a.cpp|app/kit/b.h|
app/run/a.cpp|app/run/b.h|
app/main_window.cpp|app/find/b.h|
app/main_window.cpp|app/kit/b.h|
app/startup.cpp|app/main_window.h|
app/kit/a.h|app/run/b.h|lint: app/kit/a.h includes "app/run/b.h": the widget kit includes no page
app/kit/a.cpp|app/main_window.h|lint: app/kit/a.cpp includes "app/main_window.h" from the window's level above the pages
app/find/a.cpp|app/audit/b.h|lint: app/find/a.cpp includes "app/audit/b.h" from another page: pages meet through the window
app/settings/a.h|app/commands.h|lint: app/settings/a.h includes "app/commands.h" from the window's level above the pages
app/tools/a.h|app/kit/b.h|lint: app/tools/a.h: app/tools/ is neither the kit nor a page of lint.sh's order
CASES
[ "$failures" -eq 0 ] && echo "every case as expected"
exit $((failures > 0))
