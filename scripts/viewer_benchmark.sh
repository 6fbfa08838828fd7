#!/usr/bin/env bash
# Figures of the slide-show viewer on a large gallery in headless Chromium and Firefox (run on demand).
#   scripts/viewer_benchmark.sh [items [shown]]   (defaults: 100000 items, 400 pictures shown)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
modules="${RT_BUILD_DIR:-$root/build}/viewer-npm"
"$root/scripts/setup_viewer.sh" "$modules" >/dev/null
PATH="$modules/bin:$PATH" NODE_PATH="$modules/node_modules" exec node "$root/tests/viewer/benchmark.js" "$@"
