#!/usr/bin/env bash
# Prepares the demo folder DEST (default BUILD/demo) from a build folder:
# a copy of the program and its parts, the three sample pages, three demo
# phones with regions pointing at those pages, settings that request at
# start-up (and leave autostart alone), and an empty history database.
#     prepare-demo.sh BUILD [DEST]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:?usage: prepare-demo.sh BUILD [DEST]}" && pwd)"
demo="${2:-$build/demo}"
mkdir -p "$demo/pages"
# A copy, not a link: the program finds its files beside its own path.
cp -f "$build/Zelvant" "$demo/Zelvant"
# With its parts (the workbook writer, the chart), opened at their first use.
mkdir -p "$demo/zelvant-parts"
cp -f "$build/zelvant-parts/"*.so "$demo/zelvant-parts/"
for i in 1 2 3; do
    mkdir -p "$demo/pages/$i"
    cp -f "$root/resources/demo/$i/orvel-test.html" "$demo/pages/$i/orvel-test.html"
done
# Prepared once; later runs keep what was changed in the demo's setup window.
if [ ! -f "$demo/phones.xml" ]; then
    "$build/ZelvantMakeDemo" "$demo" "$demo/pages"
fi
"$demo/Zelvant" --init-history >/dev/null
