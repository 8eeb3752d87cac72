#!/usr/bin/env bash
# Brings translations/*.ts up to date with the texts in the sources (run after
# adding or changing a tr() text, then translate the new entries and commit).
# The Russian file keeps the plural forms only: every other text is Russian
# already.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
lupdate="${LUPDATE:-$(command -v lupdate6 || command -v lupdate || echo /usr/lib/qt6/bin/lupdate)}"
common=(-I src -locations none -no-obsolete -source-language ru src/gui src/core)
"$lupdate" "${common[@]}" -target-language en -ts translations/zelvant_en.ts
"$lupdate" "${common[@]}" -pluralonly -target-language ru -ts translations/zelvant_ru.ts
