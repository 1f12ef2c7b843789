#!/usr/bin/env bash
# The station from the outside: Ctrl-C during a paced update stops that unit
# safely and exits 130 with the summary, the log holds a header and the same
# units as the summary; idle, Ctrl-C exits 0; on a terminal the counters are
# redrawn in place.
set -u
program=$1 package=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; cat "$tmp"/out* 2>/dev/null; exit 1; }

"$program" station --simulate=stream,block --package "$package" --log "$tmp/log" >"$tmp/out" 2>&1 &
pid=$!
# Interrupted once the stream unit says it is done: the paced block unit is
# then within its 2 s transfer, however late that line comes under load.
for _ in $(seq 400); do grep -q 'stream.*updated' "$tmp/out" && break; sleep 0.05; done
grep -q 'stream.*updated' "$tmp/out" || { kill $pid; fail "the stream unit never ended"; }
kill -INT $pid
wait $pid; code=$?
[[ $code == 130 ]] || fail "interrupted mid-update: exit $code"
grep -q 'block .*failed.*stopped' "$tmp/out" || fail "the running unit was not stopped"
grep -q '^Station: updated 1  up to date 0  failed 1  refused 0' "$tmp/out" || fail "no summary"
[[ $(head -1 "$tmp/log") == '# controller-updater station started '* ]] || fail "no header"
[[ $(grep -c 'updated  ' "$tmp/log") == 1 && $(grep -c 'failed  ' "$tmp/log") == 1 ]] || fail "log and summary differ"

"$program" station --simulate=none --package "$package" >"$tmp/out2" 2>&1 &
pid=$!
# Its handler is in place once it says it waits (a background job starts
# with SIGINT ignored, so an interrupt before that would be lost).
for _ in $(seq 200); do grep -q 'Waiting for controllers' "$tmp/out2" && break; sleep 0.05; done
kill -INT $pid
wait $pid; code=$?
[[ $code == 0 ]] || fail "idle: exit $code"
grep -q '^Station: updated 0' "$tmp/out2" || fail "idle: no summary"

tty=$(script -q -c "$program station --simulate=block:current --max 1 --package $package" /dev/null)
grep -q $'\r\033\[Kupdated 0  up to date 1' <<<"$tty" || fail "no status line redrawn in place"
echo ok
