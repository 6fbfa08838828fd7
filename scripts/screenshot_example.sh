#!/usr/bin/env bash
# Retakes the README's pictures of the example programs: docs/example.png (example/hello_body.cpp,
# with its question) and docs/folder_report.png (the folder report, built against the installed
# runtime, over the runtime's own file-channel sources). Runs them under a private X display and
# Wine prefix and photographs the screen once their windows are up.
# Needs imagemagick's `import`, which it installs when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${RT_BUILD_DIR:-$root/build}"

"$root/scripts/setup.sh"
if ! [ -x /usr/bin/import ]; then
    echo "screenshot: installing imagemagick"
    as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends imagemagick
fi

cmake -S "$root" -B "$build/win32" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build/win32" --target hello runtime_main
# The folder report as a program of its own: against the installed runtime.
package="$build/screenshot-package"
cmake --install "$build/win32" --prefix "$package" >/dev/null
report="$build/screenshot-folder-report"
cmake -S "$package/share/brisko/examples/folder_report" -B "$report" \
    -DCMAKE_TOOLCHAIN_FILE="$package/lib/cmake/Brisko/mingw-i686.cmake" -DCMAKE_PREFIX_PATH="$package" >/dev/null
cmake --build "$report" >/dev/null
printf '[Bericht]\nDateien=*.h;*.cpp\nWarten=1\n' >"$report/folder_report.ini"

# A prefix of its own, in which Wine draws the window frames itself (Xvfb has no window manager).
export WINEPREFIX="$build/screenshot-prefix" WINEARCH=win32 WINEDEBUG=-all
. "$root/scripts/display.sh"
start_display "$build/screenshot-display" 640x420x24
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 </dev/null
    wineserver -w
fi
(wineserver -p; wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f
 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f) >/dev/null 2>&1 </dev/null

# shoot PICTURE WINDOW_TITLE PROGRAM ARGUMENTS...: runs the program, waits for its window and
# gives it time to paint, photographs the screen, ends the program.
shoot() {
    local out="$root/docs/$1" title=$2 program
    shift 2
    wine "$@" >/dev/null 2>&1 </dev/null &
    program=$!
    for _ in $(seq 150); do
        xwininfo -root -tree 2>/dev/null | grep -q "\"$title\"" && break
        sleep 0.1
    done
    sleep 2
    /usr/bin/import -window root "$out"
    echo "screenshot: wrote $out"
    wineserver -k
    wait "$program" || true
}

# The question comes after the text.
shoot example.png Frage "$build/win32/bin/hello.exe"
mkdir -p "$WINEPREFIX/drive_c/runtime"
cp -r "$root/runtime/system" "$WINEPREFIX/drive_c/runtime/"
shoot folder_report.png Ordnerbericht "$report/folder_report.exe" 'C:\runtime\system' 'report_(error|warning)'
