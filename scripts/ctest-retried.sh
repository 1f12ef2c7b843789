#!/usr/bin/env bash
# Runs a preset's tests with one retry for a test that fails:
#     scripts/ctest-retried.sh PRESET JOBS
# Under Wine a launch now and then ends at once with no output at all (the
# program never ran), so a failed test runs once more and only a second
# failure counts. Every test that needed the retry is named; each then runs
# again, and one that needs the retry twice in a row fails the run: a test
# that fails half the time is no launch hiccup. Logs: build/PRESET/ctest*.log.
set -uo pipefail
cd "$(dirname "$0")/.."
preset=$1 jobs=$2
logs=build/$preset

# The tests of a `ctest --repeat until-pass:N` log that passed only after a
# failed attempt, one a line.
retried() {
    sed -nE 's/^ *([0-9]+\/[0-9]+ )?Test +#[0-9]+: ([^ ]+) \.* *(\*\*\*)?([A-Za-z]+).*/\2 \4/p' "$1" |
        awk '$2 != "Passed" { failed[$1] = 1 } $2 == "Passed" && failed[$1] { print $1 }'
}

status=0
ctest --preset "$preset" -j "$jobs" --repeat until-pass:2 2>&1 | tee "$logs/ctest.log"
status=${PIPESTATUS[0]}
mapfile -t first < <(retried "$logs/ctest.log")
((${#first[@]})) || exit "$status"
echo "--- passed only on the retry: ${first[*]}; each runs again ---"
# Names as an exact-match regular expression.
pattern=$(printf '%s\n' "${first[@]}" | sed 's/[][\.*^$+?(){}|]/\\&/g' | paste -sd'|')
ctest --preset "$preset" -R "^($pattern)\$" --repeat until-pass:2 2>&1 | tee "$logs/ctest-again.log" ||
    status=1
mapfile -t again < <(retried "$logs/ctest-again.log")
if ((${#again[@]})); then
    echo "FAIL: needed the retry twice in a row: ${again[*]}"
    status=1
fi
exit "$status"
