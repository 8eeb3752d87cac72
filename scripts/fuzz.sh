#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ with clang under AddressSanitizer
# and UBSan (into build-fuzz/) and runs each for FUZZ_SECONDS (30) seconds,
# starting from its corpus in fuzz/corpus/. Any crash, leak or failed check
# fails the run; the input is kept in build-fuzz/artifacts/ (add it to the
# corpus, with a regression test, once fixed). Prints each harness's
# executions.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${FUZZ_SECONDS:-30}"
harnesses=(fuzz_page fuzz_parser fuzz_codec fuzz_ini fuzz_phones fuzz_regions fuzz_rules)

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZELVANT_BUILD_TESTS=OFF -DZELVANT_BUILD_FUZZ=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${harnesses[@]}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/support/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
rm -rf "$build/runs" && mkdir -p "$build/runs" "$build/artifacts"

dictionary() {
    case "$1" in
        fuzz_parser) echo "-dict=$root/fuzz/parser.dict" ;;
        fuzz_page) echo "-dict=$root/fuzz/page.dict" ;;
        fuzz_phones) echo "-dict=$root/fuzz/phones.dict" ;;
        fuzz_ini | fuzz_regions) echo "-dict=$root/fuzz/ini.dict" ;;
        fuzz_rules) echo "-dict=$root/fuzz/rules.dict" ;;
    esac
}

# One harness per core at a time; new inputs go to a scratch corpus, never
# into the repository.
run() {
    local name="$1" corpus="$root/fuzz/corpus/${1#fuzz_}" extra=()
    # The parser also starts from the sample pages of the tests.
    if [ "$name" = fuzz_parser ]; then extra=("$root/tests/data"); fi
    mkdir -p "$build/runs/$name"
    "$build/fuzz/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=8192 -print_final_stats=1 $(dictionary "$name") \
        -artifact_prefix="$build/artifacts/$name-" "$build/runs/$name" "$corpus" "${extra[@]}" \
        >"$build/runs/$name.log" 2>&1
}
pids=()
status=0
for name in "${harnesses[@]}"; do
    run "$name" &
    pids+=($!)
    if [ ${#pids[@]} -ge "$(nproc)" ]; then
        wait "${pids[0]}" || status=1
        pids=("${pids[@]:1}")
    fi
done
for pid in "${pids[@]}"; do
    wait "$pid" || status=1
done

for name in "${harnesses[@]}"; do
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$build/runs/$name.log" | grep -o '[0-9]*$' || true)
    echo "$name: ${runs:-?} executions in ${seconds} s"
done
if [ "$status" -ne 0 ]; then
    for name in "${harnesses[@]}"; do
        if grep -q "ERROR\|check failed\|runtime error" "$build/runs/$name.log"; then
            echo "---- $name"
            tail -n 60 "$build/runs/$name.log"
        fi
    done
    echo "fuzzing found a crash; its input is in $build/artifacts/" >&2
fi
exit "$status"
