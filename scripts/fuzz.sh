#!/usr/bin/env bash
# Runs a fuzz target for a number of seconds:  scripts/fuzz.sh TARGET SECONDS
# or every target in turn:                    scripts/fuzz.sh all SECONDS
# Builds the fuzz preset (clang, libFuzzer) first. A run starts from the
# target's seeds (written at build time), its crash inputs (fuzz/regressions/
# TARGET) and its scratch corpus (build/fuzz/corpus/TARGET, kept between runs,
# never committed). A crash, failed check, leak or hang makes the script exit
# non-zero and print the report, the reproducer's path and its bytes in hex,
# so the log alone is enough to reproduce it. Full logs: build/fuzz/logs/.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
    echo "usage: $0 TARGET|all SECONDS" >&2
    exit 2
}
[[ $# -eq 2 && $2 =~ ^[0-9]+$ ]] || usage
which=$1
seconds=$2
build=build/fuzz

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

mapfile -t known <"$build/fuzz/targets.txt"
if [[ $which == all ]]; then
    targets=("${known[@]}")
else
    [[ " ${known[*]} " == *" $which "* ]] || { echo "unknown target '$which'; known: ${known[*]}" >&2; exit 2; }
    targets=("$which")
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# Prints the log without libFuzzer's progress lines.
report() {
    grep -v -E '^#[0-9]+[[:space:]]+(NEW|REDUCE|RELOAD|pulse)' "$1" || true
}

run_target() {
    local target=$1
    local corpus=$build/corpus/$target artifacts=$build/artifacts/$target log=$build/logs/$target.log
    mkdir -p "$corpus" "$artifacts" "$build/logs"
    local inputs=("$corpus" "$build/fuzz/seeds/$target")
    [[ -d fuzz/regressions/$target ]] && inputs+=("fuzz/regressions/$target")
    echo "=== fuzz $target: ${seconds} s ==="
    local status=0
    "$build/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" "${inputs[@]}" >"$log" 2>&1 || status=$?
    if ((status == 0)); then
        grep -E '^#[0-9]+[[:space:]]+DONE|^Done [0-9]+ runs' "$log" || true
        return 0
    fi
    report "$log"
    local unit
    unit=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)
    echo "fuzz $target FAILED (exit $status); full log: $log"
    if [[ -n $unit && -f $unit ]]; then
        echo "reproducer: $unit ($(stat -c %s "$unit") bytes); replay: $build/bin/fuzz_$target $unit"
        echo "keep it as a test: cp $unit fuzz/regressions/$target/<name>"
        echo "reproducer bytes (hex):"
        od -An -tx1 -v "$unit"
    fi
    return 1
}

failed=()
for target in "${targets[@]}"; do
    run_target "$target" || failed+=("$target")
done
if ((${#failed[@]})); then
    echo "fuzz targets that failed: ${failed[*]}"
    exit 1
fi
