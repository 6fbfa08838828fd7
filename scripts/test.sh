#!/usr/bin/env bash
# The whole test suite: set-up, the builds (Windows programs under Wine, pure code on the host
# with sanitizers, host benchmarks without them, a short run of the regex fuzz target), a private X
# display and Wine server, ctest.
# Exits non-zero when a test fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${RT_BUILD_DIR:-$root/build}"

RT_TEST_PREFIX="$build/wineprefix" "$root/scripts/setup.sh"

cmake -S "$root" -B "$build/host" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build/host"
# Benchmarks of the pure code: optimised, without the sanitizers (run on demand, not by ctest).
cmake -S "$root" -B "$build/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRT_SANITIZE=OFF >/dev/null
cmake --build "$build/bench" --target benchmarks
# The differential fuzz target of the regular-expression engine (clang, libFuzzer, sanitizers):
# ctest runs it for a fixed 60 seconds from the seed corpus in the repository (test regex_fuzz).
cmake -S "$root" -B "$build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 \
    -DCMAKE_CXX_COMPILER=clang++-14 -DRT_FUZZ=ON >/dev/null
cmake --build "$build/fuzz" --target regex_fuzz

cmake -S "$root" -B "$build/win32" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DRT_HOST_BIN_DIR="$build/host/bin" \
    -DRT_FUZZ_BIN_DIR="$build/fuzz/bin" -DRT_DOCS_DIR="$build/docs" >/dev/null
cmake --build "$build/win32"

export WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all

. "$root/scripts/display.sh"
start_display "$build/xvfb-display" 1280x1024x24

# Warm the Wine server with every output detached: Wine's background services would otherwise
# inherit ctest's output pipe and keep it waiting.
(wineserver -p; wine cmd /c exit) >/dev/null 2>&1 </dev/null

cd "$build/win32"
ctest --output-on-failure "$@"
