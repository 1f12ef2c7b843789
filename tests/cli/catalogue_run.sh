#!/usr/bin/env bash
# catalogue_run.sh OUT [--interrupt-after S] CODE PATTERN [NOPATTERN] -- COMMAND...
# expect_run.sh with @URL@ in the arguments replaced by the local server's
# address and @KEYS@ by the fixtures' folder; with --interrupt-after, the
# command gets SIGINT after S seconds.
# Each run remembers catalogues in a state file of its own, empty unless an
# argument @STATE=NAME@ starts it from the fixtures' OUT/NAME. The state
# must come out byte for byte as it went in after a refusal (exit 6) or when
# the argument is @SAME-STATE=NAME@. @CLOCK=DATE@ runs the command under
# faketime at DATE.
out=$1
shift
interrupt=""
if [[ $1 == --interrupt-after ]]; then interrupt=$2; shift 2; fi
url="http://127.0.0.1:$(cat "$out/port")"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export CONTROLLER_UPDATER_STATE=$scratch/state.json
seed="" same="" clock=""
args=()
for a in "$@"; do
    case $a in
    @STATE=*@) seed=${a:7:-1} ;;
    @SAME-STATE=*@) seed=${a:12:-1} same=1 ;;
    @CLOCK=*@) clock=${a:7:-1} ;;
    *) a=${a//@URL@/$url}; args+=("${a//@KEYS@/$out}") ;;
    esac
done
[[ -n $seed ]] && cp "$out/$seed" "$CONTROLLER_UPDATER_STATE"
if [[ -n $clock ]]; then
    for ((i = 0; i < ${#args[@]}; i++)); do [[ ${args[i]} == -- ]] && break; done
    # libfaketime is preloaded ahead of a sanitizer's runtime.
    export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0
    export TSAN_OPTIONS="${TSAN_OPTIONS:+$TSAN_OPTIONS }suppressions=$(cd "$(dirname "$0")/../support" && pwd)/faketime.tsan"
    args=("${args[@]:0:i+1}" faketime "$clock" "${args[@]:i+1}")
fi
if [[ -z $interrupt ]]; then
    "$(dirname "$0")/expect_run.sh" "${args[@]}" || exit 1
    if [[ ${args[0]} == 6 || -n $same ]]; then
        if [[ -n $seed ]]; then
            cmp "$out/$seed" "$CONTROLLER_UPDATER_STATE" || { echo "FAIL: the state changed"; exit 1; }
        elif [[ -e $CONTROLLER_UPDATER_STATE ]]; then
            echo "FAIL: a state was written"; exit 1
        fi
    fi
    exit 0
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
