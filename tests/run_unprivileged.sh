#!/bin/sh
# Runs the given test binary as the unprivileged user "nobody", for the cases that need a
# user who cannot read everything (root reads any file, so they skip themselves there).
# Exit 77 (skipped) when that is not possible here.
[ "$(id -u)" -eq 0 ] || { echo "not root: these cases already ran in the normal run"; exit 77; }
command -v setpriv >/dev/null 2>&1 || { echo "no setpriv"; exit 77; }
as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"; }
# GoogleTest and Qt Test binaries both answer --help without running a test.
as_nobody "$1" --help >/dev/null 2>&1 || { echo "nobody cannot run $1"; exit 77; }
as_nobody "$@"
