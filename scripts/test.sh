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
# a fixed 60-second run from the seed corpus in the repository; a finding fails the script.
cmake -S "$root" -B "$build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 \
    -DCMAKE_CXX_COMPILER=clang++-14 -DRT_FUZZ=ON >/dev/null
cmake --build "$build/fuzz" --target regex_fuzz
mkdir -p "$build/fuzz/corpus" "$build/fuzz/findings"
if ! "$build/fuzz/bin/regex_fuzz" "$build/fuzz/corpus" "$root/tests/regex/fuzz/corpus" \
    -dict="$root/tests/regex/fuzz/regex.dict" -max_total_time=60 -timeout=30 \
    -artifact_prefix="$build/fuzz/findings/" >"$build/fuzz/last_run.log" 2>&1; then
    tail -n 40 "$build/fuzz/last_run.log" >&2
    echo "test: the regex fuzz target found a difference or a crash (input in $build/fuzz/findings)" >&2
    exit 1
fi
echo "regex fuzz: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$build/fuzz/last_run.log")"

cmake -S "$root" -B "$build/win32" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DRT_HOST_BIN_DIR="$build/host/bin" >/dev/null
cmake --build "$build/win32"

export WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all

# Another program's windows are only visible under a display: start one of our own, on a display
# number that Xvfb picks itself.
mkdir -p "$build"
display_file="$build/xvfb-display"
: >"$display_file"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 </dev/null &
xvfb_pid=$!
stop_services() {
    wineserver -k >/dev/null 2>&1 || true
    kill "$xvfb_pid" >/dev/null 2>&1 || true
    wait "$xvfb_pid" 2>/dev/null || true
}
trap stop_services EXIT
display=""
for _ in $(seq 100); do
    display=$(tr -dc 0-9 <"$display_file")
    [ -n "$display" ] && break
    sleep 0.1
done
if [ -z "$display" ]; then
    echo "test: Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=":$display"

# Warm the Wine server with every output detached: Wine's background services would otherwise
# inherit ctest's output pipe and keep it waiting.
(wineserver -p; wine cmd /c exit) >/dev/null 2>&1 </dev/null

cd "$build/win32"
ctest --output-on-failure "$@"
