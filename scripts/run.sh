#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program on its bundled demo.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"
exec "$root/build/Zelvant" --parse "$root/resources/orvel-test.html"
