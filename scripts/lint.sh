#!/usr/bin/env bash
# Small source lint: trailing blanks, final newlines, CR LF, and which folder may
# include which (lowest layer first: platform, support, fs, content, lists, scan, names,
# catalogue, audit and repair, scrub (which words its findings as audit's classes), then
# app, editor and cli), inside app/ which floor may include which, and that each engine
# file opens the namespace of its folder.
set -uo pipefail
cd "$(dirname "$0")/.."
status=0
fail() { echo "lint: $*" >&2; status=1; }

mapfile -t sources < <(git ls-files -co --exclude-standard -- '*.h' '*.cpp' '*.sh' \
  'CMakeLists.txt' '*.cmake' run test .ci/run)
for f in "${sources[@]}"; do
  [ -f "$f" ] || continue
  grep -nE '[[:blank:]]$' "$f" | head -3 | sed "s|^|lint: trailing blank: $f:|" >&2 &&
    status=1
  grep -q $'\r' "$f" && fail "CR LF line ends: $f"
  [ -s "$f" ] && [ "$(tail -c1 "$f" | od -An -c | tr -d ' ')" != '\n' ] &&
    fail "no final newline: $f"
done

allowed() {
  case $1 in
    platform) echo "platform" ;;
    support) echo "platform support" ;;
    fs) echo "platform support fs" ;;
    content) echo "platform support fs content" ;;
    lists) echo "platform support fs content lists" ;;
    scan) echo "platform support fs content lists scan" ;;
    names) echo "platform support fs names" ;;
    catalogue) echo "platform support fs content lists scan names catalogue" ;;
    audit) echo "platform support fs content lists scan names catalogue audit" ;;
    repair) echo "platform support fs content lists scan names catalogue repair" ;;
    scrub) echo "platform support fs content lists scan names catalogue audit scrub" ;;
    cli) echo "platform support fs content lists scan names catalogue audit repair scrub cli" ;;
    editor) echo "support editor" ;;
    app) echo "platform support fs content lists scan names catalogue audit scrub editor app" ;;
  esac
}
# System headers for files, directories, volumes, memory and time live in platform/.
system_headers='^#include <(sys/[^>]*|unistd\.h|fcntl\.h|dirent\.h|blkid/[^>]*|mntent\.h|pwd\.h|time\.h|ctime|fnmatch\.h|glob\.h|limits\.h)>'
for layer in platform support fs content lists scan names catalogue audit repair scrub editor app cli; do
  ok=" $(allowed $layer) "
  for f in $(git ls-files -co --exclude-standard -- "$layer/*.h" "$layer/*.cpp"); do
    [ -f "$f" ] || continue
    while IFS= read -r inc; do
      top=${inc%%/*}
      case "$ok" in *" $top "*) ;; *) fail "$f includes \"$inc\" from a higher layer" ;; esac
    done < <(sed -nE 's/^#include "([^"]+)".*/\1/p' "$f")
    if [ "$layer" != platform ] && grep -qE "$system_headers" "$f"; then
      fail "$f includes a system header that belongs in platform/"
    fi
    if [ "$layer" = platform ] && [[ "$f" == *.h ]] && grep -qE "$system_headers" "$f"; then
      fail "$f: platform headers expose our own types only"
    fi
  done
done
# Inside app/: the widget kit (app/kit/) lowest, then one folder per page, then the window
# and its command table at the top of app/. Pages meet only through the window.
app_pages="settings run editors audit find"
for f in $(git ls-files -co --exclude-standard -- 'app/*/*.h' 'app/*/*.cpp'); do
  [ -f "$f" ] || continue
  room=${f#app/}
  room=${room%%/*}
  case " kit $app_pages " in
    *" $room "*) ;;
    *) fail "$f: app/$room/ is neither the kit nor a page of lint.sh's order" ;;
  esac
  while IFS= read -r inc; do
    case $inc in
      app/kit/*) ;;
      app/*/*)
        to=${inc#app/}
        to=${to%%/*}
        if [ "$room" = kit ]; then
          fail "$f includes \"$inc\": the widget kit includes no page"
        elif [ "$to" != "$room" ]; then
          fail "$f includes \"$inc\" from another page: pages meet through the window"
        fi
        ;;
      app/*) fail "$f includes \"$inc\" from the window's level above the pages" ;;
    esac
  done < <(sed -nE 's/^#include "([^"]+)".*/\1/p' "$f")
done
# The engine's code lives in a namespace named after its folder: each file opens it.
for layer in platform support fs names content lists scan catalogue audit repair scrub; do
  for f in $(git ls-files -co --exclude-standard -- "$layer/*.h" "$layer/*.cpp"); do
    [ -f "$f" ] || continue
    grep -qE "^namespace $layer( \{|::)" "$f" || fail "$f: not in namespace $layer"
    # After the namespace closes for the last time only the using-declarations of names
    # kept at the top may follow.
    awk -v ns="^}  // namespace $layer" '$0 ~ ns { tail = ""; next }
      !/^(\/\/.*|using [a-zA-Z_:]+;|#.*|)$/ { tail = tail $0 }
      END { exit tail != "" }' "$f" || fail "$f: declares names outside namespace $layer"
  done
done
grep -rlE '#include <Q' platform support fs content lists scan names catalogue audit repair scrub 2>/dev/null | sed 's/^/lint: Qt in the engine: /' >&2 &&
  status=1
exit $status
