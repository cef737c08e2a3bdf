#!/usr/bin/env bash
# Runs each fuzz target built by scripts/sanitize.sh for VELMORA_FUZZ_SECONDS (default 30) seconds, one per core
# at a time. Each starts from a scratch copy of its committed corpus under build-asan, so new inputs never land in
# the repo; whatever a fuzzer finds goes to build-asan/fuzz-artifacts, and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${VELMORA_FUZZ_SECONDS:-30}
build="build-asan"
artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"
names=(criteria values)

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:exitcode=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=0:exitcode=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0"
if symbolizer=$(command -v llvm-symbolizer); then
    export ASAN_SYMBOLIZER_PATH="$symbolizer" UBSAN_SYMBOLIZER_PATH="$symbolizer"
fi

for name in "${names[@]}"; do
    if [ ! -x "$build/tests/fuzz/fuzz_$name" ]; then
        echo "No $build/tests/fuzz/fuzz_$name: run scripts/sanitize.sh first." >&2
        exit 1
    fi
done

# One fuzzer from a fresh copy of its corpus; its log and its exit status go beside the corpus.
fuzz() {
    local name=$1 corpus=$build/fuzz-corpus/$1 log=$build/fuzz-$1.log status=0
    rm -rf "$corpus"
    mkdir -p "$corpus"
    cp -R "tests/fuzz/corpus/$name/." "$corpus"
    "$build/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$name-" "$corpus" >"$log" 2>&1 || status=$?
    echo "$status" >"$log.status"
}

cores=$(nproc)
running=0
for name in "${names[@]}"; do
    if [ "$running" -ge "$cores" ]; then
        wait -n
        running=$((running - 1))
    fi
    fuzz "$name" &
    running=$((running + 1))
done
wait

passed=0
failed=0
for name in "${names[@]}"; do
    log=$build/fuzz-$name.log
    if [ "$(cat "$log.status")" = 0 ]; then
        result=passed
        passed=$((passed + 1))
    else
        result=FAILED
        failed=$((failed + 1))
        tail -n 60 "$log"
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz_$name: $result; $(grep -E '^Done [0-9]+ runs' "$log" || echo "${runs:-?} runs before it stopped")"
done

echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
