#!/usr/bin/env bash
# The runtime for people who write programs on it: scripts/sdk.sh FOLDER builds the Windows runtime
# alone (build/release, optimised, no tests), installs it into FOLDER with its reference
# (reference/index.html), the README and the licence, and packs FOLDER into dist/brisko.zip.
# Installs the Debian packages it needs when they are missing; installs no browsers, runs nothing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/release"

if [ $# -ne 1 ] || [ -z "$1" ]; then
    echo "usage: $0 FOLDER   (where the runtime is installed; packed into dist/brisko.zip)" >&2
    exit 2
fi
mkdir -p "$1"
folder=$(cd "$1" && pwd)

RT_PACKAGES_ONLY=1 "$root/scripts/setup.sh"
# The configuration of scripts/gallery.sh, which packs the same zip: one build folder serves both.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target runtime_main
cmake --install "$build" --prefix "$folder" >/dev/null
cp "$root/README.md" "$root/LICENSE" "$folder/"
mkdir -p "$folder/docs"
cp "$root"/docs/*.png "$folder/docs/"  # the README's pictures
"$root/scripts/reference.sh" "$folder" "$root/build/docs"
rm -rf "$folder/reference"
cp -r "$root/build/docs/html" "$folder/reference"

mkdir -p "$root/dist"
rm -f "$root/dist/brisko.zip"
(cd "$(dirname "$folder")" && cmake -E tar cf "$root/dist/brisko.zip" --format=zip "$(basename "$folder")")
echo "sdk: installed the runtime into $folder and packed it into dist/brisko.zip"
