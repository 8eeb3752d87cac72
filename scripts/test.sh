#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
# SANITIZE=1 builds into build-asan/ with AddressSanitizer and UBSan.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
extra=(-DZELVANT_BUILD_TESTS=ON)
if [ "${CI:-}" = "true" ]; then extra+=(-DZELVANT_WERROR=ON); fi
if [ "${SANITIZE:-0}" = "1" ]; then
    export BUILD_DIR="${BUILD_DIR:-$root/build-asan}"
    export BUILD_TYPE=Debug
    extra+=(-DZELVANT_SANITIZE=ON)
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:halt_on_error=1"
    export LSAN_OPTIONS="suppressions=$root/tests/support/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
else
    # The benchmarks are compiled (not run) so that they never fall behind the code.
    extra+=(-DZELVANT_BUILD_BENCH=ON)
fi
BUILD_DIR="${BUILD_DIR:-$root/build}" bash "$root/scripts/build.sh" "${extra[@]}"
cd "${BUILD_DIR:-$root/build}"
ctest --output-on-failure -j "$(nproc)"
