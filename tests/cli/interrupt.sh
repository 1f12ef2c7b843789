#!/usr/bin/env bash
# SIGINT (twice) during a paced update ends it between two reports with 130
# and says how to repeat it.
program=$1 package=$2
out=$(mktemp)
"$program" update --simulate=block --package "$package" --yes >"$out" 2>&1 &
pid=$!
for _ in $(seq 100); do grep -q '[1-9]0%' "$out" && break; sleep 0.05; done
kill -INT $pid; kill -INT $pid
wait $pid; code=$?
cat "$out"
[[ $code == 130 ]] || { echo "FAIL: exit $code"; exit 1; }
grep -q 'repeat the update' "$out" || { echo "FAIL: no advice"; exit 1; }
