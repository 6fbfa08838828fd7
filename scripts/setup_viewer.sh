#!/usr/bin/env bash
# Installs what the viewer's browser tests need and returns at once when everything is there: Debian's
# Chromium and Firefox ESR and the npm packages of tests/viewer, installed into a folder beside the
# build folders.
#   scripts/setup_viewer.sh [FOLDER]   (default: $RT_BUILD_DIR/viewer-npm, or build/viewer-npm)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
modules="${1:-${RT_BUILD_DIR:-$root/build}/viewer-npm}"

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for package in chromium firefox-esr; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The copy of the lock file is written last, as the mark of a finished install of exactly that lock.
lock="$root/tests/viewer/package-lock.json"
if ! cmp -s "$lock" "$modules/installed-lock.json"; then
    echo "setup: installing the viewer tests' npm packages into $modules"
    mkdir -p "$modules"
    cp "$root/tests/viewer/package.json" "$lock" "$modules/"
    (cd "$modules" && npm ci --no-audit --no-fund --loglevel=error)
    cp "$lock" "$modules/installed-lock.json"
fi
