#!/usr/bin/env bash
# Retakes docs/example.png: builds the example program (example/hello_body.cpp), runs it under a
# private X display and Wine prefix, waits for its question and photographs the screen.
# Needs imagemagick's `import`, which it installs when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${RT_BUILD_DIR:-$root/build}"
out="$root/docs/example.png"

"$root/scripts/setup.sh"
if ! [ -x /usr/bin/import ]; then
    echo "screenshot: installing imagemagick"
    as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends imagemagick
fi

cmake -S "$root" -B "$build/win32" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build/win32" --target hello

# A prefix of its own, in which Wine draws the window frames itself (Xvfb has no window manager).
export WINEPREFIX="$build/screenshot-prefix" WINEARCH=win32 WINEDEBUG=-all
display_file="$build/screenshot-display"
: >"$display_file"
Xvfb -displayfd 3 -screen 0 640x420x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 </dev/null &
xvfb_pid=$!
stop_services() {
    wineserver -k >/dev/null 2>&1 || true
    kill "$xvfb_pid" >/dev/null 2>&1 || true
    wait "$xvfb_pid" 2>/dev/null || true
}
trap stop_services EXIT
for _ in $(seq 100); do
    [ -n "$(tr -dc 0-9 <"$display_file")" ] && break
    sleep 0.1
done
export DISPLAY=":$(tr -dc 0-9 <"$display_file")"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 </dev/null
    wineserver -w
fi
(wineserver -p; wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f
 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f) >/dev/null 2>&1 </dev/null

wine "$build/win32/bin/hello.exe" >/dev/null 2>&1 </dev/null &
# The question comes after the text; give the window and the dialog time to paint.
for _ in $(seq 150); do
    xwininfo -root -tree 2>/dev/null | grep -q '"Frage"' && break
    sleep 0.1
done
sleep 2
mkdir -p "$(dirname "$out")"
/usr/bin/import -window root "$out"
echo "screenshot: wrote $out"
