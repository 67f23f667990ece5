# Cross build for 64-bit Windows with Debian's MinGW-w64 (the posix thread model: GCC 12's
# win32 model has no std::thread). The libraries come from scripts/windows_deps.sh; give
# their folder as CHECKER_WIN_DEPS (default: deps beside the build tree, as in build-win/).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_AR x86_64-w64-mingw32-ar CACHE FILEPATH "")
set(CMAKE_RANLIB x86_64-w64-mingw32-ranlib CACHE FILEPATH "")

if(NOT CHECKER_WIN_DEPS)
  set(CHECKER_WIN_DEPS "$ENV{CHECKER_WIN_DEPS}")
endif()
if(NOT CHECKER_WIN_DEPS)
  set(CHECKER_WIN_DEPS "${CMAKE_BINARY_DIR}/../deps")
endif()
get_filename_component(CHECKER_WIN_DEPS "${CHECKER_WIN_DEPS}" ABSOLUTE)
set(CHECKER_WIN_DEPS "${CHECKER_WIN_DEPS}" CACHE PATH "Windows libraries (scripts/windows_deps.sh)")
# Try-compiles run in trees of their own: hand them the same folder.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CHECKER_WIN_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 "${CHECKER_WIN_DEPS}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_PREFIX_PATH "${CHECKER_WIN_DEPS}")

# One .exe with no MinGW DLL beside it: it runs on a Windows without MinGW.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(CHECKER_WINE NAMES wine wine64)
if(CHECKER_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${CHECKER_WINE}")
endif()
