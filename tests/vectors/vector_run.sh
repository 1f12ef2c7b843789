#!/usr/bin/env bash
# vector_run.sh cli|station OUT PROGRAM NAME: the attack vector NAME of
# OUT/vectors.tsv (make_vectors.sh) through the command line (check, then
# update) or the station, each run from the vector's state file.
# A refusal must say its words (the command line) or that it refused (the
# station), send nothing to the simulated controller, and leave the state
# byte for byte as it was.
set -uo pipefail
mode=$1 out=$2 program=$3 name=$4
IFS=$'\t' read -r _ catalogue mirror keys state clock controller options verdict sent words < <(
    awk -F'\t' -v n="$name" '$1 == n' "$out/vectors.tsv")
[[ -n ${verdict:-} ]] || { echo "FAIL: no vector $name"; exit 1; }
url="http://127.0.0.1:$(cat "$out/port")"
at() { local s=${1//@URL@/$url}; echo "${s//@SITE@/$out/site}"; }
args=(--catalogue "$(at "$catalogue")")
[[ $mirror != - ]] && args+=(--mirror "$(at "$mirror")")
case $keys in
a) args+=(--trust "$out/a.pub") ;;
roots) for r in r1 r2 r3; do args+=(--trust-root "$out/$r.pub"); done ;;
root1) args+=(--trust-root "$out/r1.pub" --root-threshold 1) ;;
esac
# shellcheck disable=SC2206  # the options column is split as a shell would
[[ $options != - ]] && args+=($options)
run=("$program")
if [[ $clock != - ]]; then
    # libfaketime is preloaded ahead of a sanitizer's runtime.
    export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0
    export TSAN_OPTIONS="${TSAN_OPTIONS:+$TSAN_OPTIONS }suppressions=$(cd "$(dirname "$0")/../support" && pwd)/faketime.tsan"
    run=(faketime "$clock" "$program")
fi
case $verdict in
accepted) class=accepted code=0 ;;
catalogue-* | keys-*) class=catalogue code=6 ;;
*) class=package code=4 ;;
esac
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export CONTROLLER_UPDATER_STATE=$scratch/state.json
failed=0
fail() { echo "FAIL ($step): $*"; failed=1; }

# attempt STEP EXPECTED-CODES COMMAND...: run from the vector's state, judged.
attempt() {
    step=$1 codes=$2; shift 2
    rm -f "$CONTROLLER_UPDATER_STATE"
    [[ $state != - ]] && cp "$out/$state" "$CONTROLLER_UPDATER_STATE"
    "${run[@]}" "$@" >"$scratch/log" 2>&1 </dev/null
    local actual=$?
    sed "s/^/$step: /" "$scratch/log"
    [[ " $codes " == *" $actual "* ]] || fail "exit $actual, expected $codes"
    [[ $class == accepted ]] && return
    # A package refused under a sound catalogue may leave that catalogue
    # remembered, as when none was seen; a state it started from stays.
    if [[ $state != - ]]; then
        cmp -s "$out/$state" "$CONTROLLER_UPDATER_STATE" || fail "the state changed"
    elif [[ -e $CONTROLLER_UPDATER_STATE && $class == catalogue ]]; then
        fail "a state was written"
    fi
}
said() { grep -aEq -- "$1" "$scratch/log" || fail "no match for /$1/"; }
unsaid() { ! grep -aEq -- "$1" "$scratch/log" || fail "matches /$1/"; }

if [[ $mode == cli ]]; then
    checked=()  # check names no version
    for ((i = 0; i < ${#args[@]}; i++)); do
        if [[ ${args[i]} == --version ]]; then ((i++)); else checked+=("${args[i]}"); fi
    done
    if [[ $class == catalogue ]]; then
        attempt check 6 check --simulate="$controller" "${checked[@]}"
        said "$words"
    else
        attempt check "0 10" check --simulate="$controller" "${checked[@]}"
    fi
    attempt update $code update --simulate="$controller" --yes "${args[@]}"
    said "$words"
    if [[ $sent == yes ]]; then said "firmware updated"; else unsaid "firmware updated|Firmware Version"; fi
else
    attempt station $code station --max 1 --simulate="$controller" "${args[@]}"
    case $class in
    accepted) said "updated 1  up to date 0  failed 0  refused 0" ;;
    catalogue) said "$words"; said "Nothing was sent" ;;
    package) said "updated 0  up to date 0  failed 0  refused 1" ;;
    esac
fi
exit $failed
