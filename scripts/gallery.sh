#!/usr/bin/env bash
# Builds the gallery builder and runs it under Wine on a folder: scripts/gallery.sh FOLDER. Packs
# the program (dist/gallery.zip) and the runtime for other programs (dist/brisko.zip) on the way.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"

if [ $# -ne 1 ] || [ ! -d "$1" ]; then
    echo "usage: $0 FOLDER   (a folder of pictures)" >&2
    exit 2
fi
folder=$(cd "$1" && pwd)

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build/release" --target dist
# The runtime for people who write programs on it, beside gallery.zip: dist/brisko.zip (the same
# build folder, so this builds nothing more).
rm -rf "$build/release/brisko"
"$root/scripts/sdk.sh" "$build/release/brisko"

# The user's own Wine prefix (a Windows browser would live there), created when missing.
export WINEDEBUG=-all WINEARCH=win32
if [ -z "${WINEPREFIX:-}" ]; then
    export WINEPREFIX="$HOME/.wine-gallery"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 </dev/null
    wineserver -w
fi

# Without a Windows Firefox in the prefix the program waits for browser windows it cannot see.
firefox="$WINEPREFIX/drive_c/Program Files/Mozilla Firefox/firefox.exe"
if [ ! -f "$firefox" ] && ! grep -qi 'Applications\\\\firefox.exe\\\\shell\\\\open\\\\command' "$WINEPREFIX/system.reg"; then
    echo "gallery: no Windows Firefox in $WINEPREFIX: your Linux browser shows the program's own page (no slide show); the program then waits about 70 seconds for browser windows it cannot see and ends - this is not a hang."
fi

status=0
wine "$build/release/gallery/gallery.exe" "$(winepath -w "$folder")" || status=$?
echo "gallery.exe ended with exit code $status"
exit "$status"
