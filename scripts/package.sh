#!/usr/bin/env bash
# Builds the Debian package zelvant_<version>_amd64.deb in BUILD_DIR (default
# build/, the folder of scripts/build.sh and scripts/test.sh, so an existing
# build is reused) and prints its path. The program is built for the prefix
# /usr: installed there it keeps every user's files in their XDG folders.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
bash "$root/scripts/install-deps.sh"
BUILD_DIR="$build" bash "$root/scripts/build.sh" -DCMAKE_INSTALL_PREFIX=/usr >&2
cd "$build"
rm -f zelvant_*.deb
cpack -G DEB >&2
deb="$(ls "$build"/zelvant_*.deb)"
echo "$deb"
