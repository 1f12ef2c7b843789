#!/usr/bin/env bash
# catalogue_run.sh OUT [--interrupt-after S] CODE PATTERN [NOPATTERN] -- COMMAND...
# expect_run.sh with @URL@ in the arguments replaced by the local server's
# address and @KEYS@ by the fixtures' folder; with --interrupt-after, the
# command gets SIGINT after S seconds.
out=$1
shift
interrupt=""
if [[ $1 == --interrupt-after ]]; then interrupt=$2; shift 2; fi
url="http://127.0.0.1:$(cat "$out/port")"
args=()
for a in "$@"; do a=${a//@URL@/$url}; args+=("${a//@KEYS@/$out}"); done
if [[ -z $interrupt ]]; then
    exec "$(dirname "$0")/expect_run.sh" "${args[@]}"
fi
code=${args[0]} pattern=${args[1]}
command=("${args[@]:3}")
log=$(mktemp)
"${command[@]}" >"$log" 2>&1 </dev/null &
pid=$!
sleep "$interrupt"
# A background job starts with SIGINT ignored until the program installs its
# handler, so the interrupt is repeated until the program ends.
for _ in $(seq 16); do kill -INT $pid 2>/dev/null || break; sleep 0.5; done
wait $pid; actual=$?
cat "$log"
[[ $actual == "$code" ]] || { echo "FAIL: exit $actual, expected $code"; exit 1; }
grep -Eq -- "$pattern" "$log" || { echo "FAIL: no match for /$pattern/"; exit 1; }
