#!/usr/bin/env bash
# Installs the Windows cross compiler and wine when missing, then makes the Windows
# libraries the build links from Debian's own packages: SQLite's single-file source
# generated from the sqlite3 source package, fmt's headers (used header-only) and
# GoogleTest built from the googletest package's sources. Debian ships none of them built
# for Windows, and this machine reaches no other source, so each comes from a Debian
# package of the version Linux builds against.
#
# Usage: scripts/windows_deps.sh [DIR]   (DIR defaults to build-win/deps)
# Prints DIR on its last line. A step whose result is in DIR already is skipped.
set -euo pipefail
source "$(dirname "$0")/common.sh"

deps=${1:-$checker_root/build-win/deps}
mkdir -p "$deps"
deps=$(cd "$deps" && pwd)
toolchain=$checker_root/cmake/mingw-w64.cmake
cross_cc=x86_64-w64-mingw32-gcc-posix
TIMEFORMAT='   took %1R s wall, %1U s user + %1S s system CPU'

checker_packages=("${windows_packages[@]}")

# A deb-src entry for bookworm in a file of our own, when no source list has one already;
# nothing of the user's is changed.
add_source_entry() {
  local file=/etc/apt/sources.list.d/checker-debian-src.sources
  if grep -rqsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' \
    /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return
  fi
  echo "   adding $file" >&2
  as_root tee "$file" >/dev/null <<'EOF'
# Source packages, for the Windows build's libraries (scripts/windows_deps.sh).
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  as_root apt-get update -qq
}

# SQLite: the amalgamation made by the source tree's own make target, then compiled once.
build_sqlite() {
  [ -f "$deps/lib/libsqlite3.a" ] && return
  local work=$deps/work/sqlite
  rm -rf "$work" && mkdir -p "$work" && cd "$work"
  add_source_entry
  apt-get source -qq sqlite3 >/dev/null 2>&1 || apt-get source -q sqlite3 >&2
  local src
  src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'sqlite3-*' | head -1)
  mkdir -p gen && cd gen
  "$src/configure" --disable-tcl >/dev/null
  make -s sqlite3.c >/dev/null
  # The options Debian's own build uses that matter to us: threads, FTS and JSON.
  "$cross_cc" -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_FTS5 -DSQLITE_ENABLE_JSON1 \
    -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_OMIT_LOAD_EXTENSION -c sqlite3.c -o sqlite3.o
  mkdir -p "$deps/include" "$deps/lib"
  x86_64-w64-mingw32-ar rcs "$deps/lib/libsqlite3.a" sqlite3.o
  cp sqlite3.h "$deps/include/"
  cd "$deps" && rm -rf "$work"
}

# fmt: Debian's headers, compiled into each user (the Linux library is of no use there).
build_fmt() {
  [ -f "$deps/lib/cmake/fmt/fmt-config.cmake" ] && return
  mkdir -p "$deps/include" "$deps/lib/cmake/fmt"
  cp -r /usr/include/fmt "$deps/include/"
  cat >"$deps/lib/cmake/fmt/fmt-config.cmake" <<'EOF'
# fmt header-only, from Debian's headers (made by scripts/windows_deps.sh).
if(NOT TARGET fmt::fmt)
  add_library(fmt::fmt INTERFACE IMPORTED)
  get_filename_component(_fmt_root "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
  set_target_properties(fmt::fmt PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${_fmt_root}/include"
    INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY=1)
endif()
EOF
  local version
  version=$(dpkg-query -W -f='${Version}' libfmt-dev | sed 's/[+~-].*//')
  cat >"$deps/lib/cmake/fmt/fmt-config-version.cmake" <<EOF
set(PACKAGE_VERSION "$version")
set(PACKAGE_VERSION_COMPATIBLE TRUE)
EOF
}

# GoogleTest and GoogleMock from the sources Debian installs for exactly this use.
build_gtest() {
  [ -f "$deps/lib/libgtest.a" ] && return
  local work=$deps/work/gtest
  rm -rf "$work"
  cmake -S /usr/src/googletest -B "$work" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" -DBUILD_SHARED_LIBS=OFF \
    -Dgtest_force_shared_crt=OFF >/dev/null
  cmake --build "$work" -j "$(nproc)" >/dev/null
  cmake --install "$work" >/dev/null
  rm -rf "$work"
}

echo "== Windows build: packages" >&2
time install_missing
echo "== Windows build: SQLite" >&2
time build_sqlite
echo "== Windows build: fmt" >&2
time build_fmt
echo "== Windows build: GoogleTest" >&2
time build_gtest
rm -rf "$deps/work"
echo "$deps"
