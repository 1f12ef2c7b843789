#!/usr/bin/env bash
# log_check.sh WHERE -- COMMAND...
# Runs COMMAND (exit 0 expected) with its log going to WHERE:
#   arg      the path replaces @LOG@ in COMMAND (--log FILE)
#   xdg      $XDG_STATE_HOME/controller-updater/last-run.log
#   home     $HOME/.local/state/controller-updater/last-run.log
#   blocked  XDG_STATE_HOME is a plain file: no log, and not a word about it
# The log must replace a stale one, stamp every line with milliseconds and
# hold exactly the diagnostic lines the program shows with --verbose, in
# their order; without --verbose, stderr shows none of them.
set -u
where=$1
shift 2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
env=(env -u XDG_STATE_HOME HOME="$tmp/home")
case $where in
arg) log=$tmp/run.log ;;
xdg) env+=(XDG_STATE_HOME="$tmp/state"); log=$tmp/state/controller-updater/last-run.log ;;
home) log=$tmp/home/.local/state/controller-updater/last-run.log ;;
blocked) touch "$tmp/state"; env+=(XDG_STATE_HOME="$tmp/state"); log="" ;;
*) echo "FAIL: unknown WHERE $where"; exit 1 ;;
esac
mkdir -p "$tmp/home"
if [[ -n $log ]]; then
    mkdir -p "$(dirname "$log")"
    echo "stale line of an earlier run" >"$log"
fi
command=("${@//@LOG@/$log}")
"${env[@]}" "${command[@]}" </dev/null >"$tmp/out" 2>"$tmp/err"
status=$?
cat "$tmp/out" "$tmp/err"
if [[ $status != 0 ]]; then echo "FAIL: exit $status"; exit 1; fi
if [[ -z $log ]]; then
    if grep -qi 'log' "$tmp/err"; then echo "FAIL: complained about the log"; exit 1; fi
    exit 0
fi
echo "--- $log"
cat "$log"
stamp='^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} '
if grep -q stale "$log"; then echo "FAIL: the earlier run's log was kept"; exit 1; fi
if ! grep -q . "$log"; then echo "FAIL: the log is empty"; exit 1; fi
if grep -Evq "$stamp" "$log"; then echo "FAIL: a line without a timestamp"; exit 1; fi
sed -E "s/$stamp//" "$log" >"$tmp/lines"
if grep -q -- --verbose <<<"${command[*]}"; then
    # The log keeps no empty lines.
    if ! grep -v '^$' "$tmp/err" | diff - "$tmp/lines" >"$tmp/diff"; then
        echo "FAIL: the verbose stderr (<) and the log (>) differ:"; cat "$tmp/diff"; exit 1
    fi
elif grep -Fxf "$tmp/lines" "$tmp/err" >"$tmp/both"; then
    echo "FAIL: diagnostic lines on stderr without --verbose:"; cat "$tmp/both"; exit 1
fi
