#!/usr/bin/env bash
# Pictures of the demo for the README (docs/images/ by default): the tray icon
# in a panel, the phones window, the setup window and the chart tab, taken on
# a private Xvfb screen. Builds what it needs into BUILD (default build/).
#     screenshots.sh [BUILD] [FOLDER]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
out="${2:-$root/docs/images}"
cmake --build "$build" --target Zelvant ZelvantMakeDemo zelvant_grab
python3 "$root/scripts/screenshots.py" --build "$build" --source "$root" --out "$out"
