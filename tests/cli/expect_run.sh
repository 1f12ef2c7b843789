#!/usr/bin/env bash
# expect_run.sh CODE PATTERN [NOPATTERN] -- COMMAND...
# Runs COMMAND; passes when it exits with CODE and its combined output
# matches the extended regex PATTERN (and not NOPATTERN, when given).
code=$1 pattern=$2 absent=""
shift 2
if [[ $1 != -- ]]; then absent=$1; shift; fi
shift
output=$("$@" 2>&1 </dev/null)
actual=$?
printf '%s\n' "$output"
if [[ $actual != "$code" ]]; then echo "FAIL: exit $actual, expected $code"; exit 1; fi
if ! grep -Eq -- "$pattern" <<<"$output"; then echo "FAIL: no match for /$pattern/"; exit 1; fi
if [[ -n $absent ]] && grep -Eq -- "$absent" <<<"$output"; then echo "FAIL: matched /$absent/"; exit 1; fi
