#!/usr/bin/env bash
# Installs what is missing, builds, prepares the demo folder build/demo/ and
# starts the tray program there: three demo phones read the bundled sample
# pages, so balances appear in the tray and the phones window without an
# operator account. Without a display the demo runs once on the console
# (Zelvant --check) instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"

demo="$build/demo"
bash "$root/scripts/prepare-demo.sh" "$build" "$demo"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: showing the demo balances on the console instead." >&2
    echo "(Run this script in a desktop session to get the tray icon.)" >&2
    exec "$demo/Zelvant" --check
fi
echo "Zelvant runs in the notification area (demo folder: $demo)."
echo "Left click: the phones window; right click: the menu (\"Выйти\" ends it)."
exec "$demo/Zelvant"
