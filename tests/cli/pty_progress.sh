#!/usr/bin/env bash
# The progress line on a real pseudo-terminal is redrawn in place; without
# a terminal the output holds no control characters. Both updates succeed.
set -u
program=$1 package=$2
tty=$(script -q -e -c "$program update --simulate=block --package $package --yes" /dev/null)
status=$?
[[ $status == 0 ]] || { echo "FAIL: exit $status on a terminal"; exit 1; }
grep -q $'\r'' *[0-9]*%' <<<"$tty" || { echo "FAIL: no line redrawn in place"; exit 1; }
plain=$("$program" update --simulate=block --package "$package" --yes 2>&1)
status=$?
[[ $status == 0 ]] || { echo "FAIL: exit $status without a terminal"; exit 1; }
if LC_ALL=C grep -q '[[:cntrl:]]' <<<"${plain//$'\n'/}"; then echo "FAIL: control characters"; exit 1; fi
grep -q '^100%' <<<"$plain" || { echo "FAIL: no plain 100% line"; exit 1; }
