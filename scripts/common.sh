# Shared by ./run and ./test: install what is missing, configure and build.
# Sourced, not run.

checker_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Debian packages the build needs.
checker_packages=(cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
                  libfmt-dev libblkid-dev libsqlite3-dev)
# The desktop program: Qt Widgets (with the offscreen platform for its tests), the
# QScintilla editor component and a font.
checker_packages+=(qt6-base-dev libqscintilla2-qt6-dev fonts-dejavu-core)
# The fuzzing harnesses: clang with libFuzzer.
checker_packages+=(clang libclang-rt-14-dev)
# The Windows build (./test and scripts/windows_deps.sh): the cross compiler, wine to run
# what it builds, and what generating SQLite's single-file source and unpacking a source
# package need.
windows_packages=(g++-mingw-w64-x86-64-posix wine wine64 dpkg-dev tcl gcc make)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing() {
  local missing=()
  for p in "${checker_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >&2
  fi
}

# build_tree DIR [cmake args...]
build_tree() {
  local dir=$1
  shift
  cmake -S "$checker_root" -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}

# The libFuzzer harnesses, built with clang under ASan and UBSan in their own tree.
build_fuzz() {
  local dir=$checker_root/build-fuzz
  cmake -S "$checker_root" -B "$dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCHECKER_FUZZ=ON -DCHECKER_TESTS=OFF -DCHECKER_BENCH=OFF -DCHECKER_DESKTOP=OFF >/dev/null
  cmake --build "$dir" -j "$(nproc)" --target fuzzers
}
