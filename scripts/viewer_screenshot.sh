#!/usr/bin/env bash
# Takes the README's pictures of the slide-show viewer (docs/viewer.png, docs/viewer-choose.png).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
modules="${RT_BUILD_DIR:-$root/build}/viewer-npm"
"$root/scripts/setup_viewer.sh" "$modules" >/dev/null
mkdir -p "$root/docs"
PATH="$modules/bin:$PATH" NODE_PATH="$modules/node_modules" exec node "$root/tests/viewer/screenshot.js"
