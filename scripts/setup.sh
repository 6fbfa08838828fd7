#!/usr/bin/env bash
# Installs what building and testing need (Debian packages, the test Wine prefix) and returns at
# once when everything is there. Safe to run again and again. With RT_PACKAGES_ONLY=1 only the
# Debian packages (for the commands that run nothing under Wine).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

packages=(g++ g++-mingw-w64-i686 wine wine32:i386 wine64 xvfb xauth cmake ninja-build googletest
          clang-14 libclang-rt-14-dev libpcre2-dev doxygen pkgconf)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        as_root dpkg --add-architecture i386
    fi
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

[ -z "${RT_PACKAGES_ONLY:-}" ] || exit 0

# The tests' own Wine prefix: registry entries and files made by tests never touch a user's prefix.
export WINEPREFIX="${RT_TEST_PREFIX:-$root/build/wineprefix}" WINEARCH=win32 WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "setup: creating the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 </dev/null
    wineserver -w
fi
[ -n "${RT_TEST_PREFIX:-}" ] || exit 0

# The viewer tests: browsers, a Node of version 20 or newer (fetched into the build folder where the
# system's is older, as Debian 12's is) and their npm packages.
"$root/scripts/setup_viewer.sh" "$(dirname "$RT_TEST_PREFIX")/viewer-npm"
