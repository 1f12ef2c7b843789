#!/usr/bin/env bash
# Packages the refusal cases need, next to the demo packages in $1.
set -e
cd "$1"
: > empty.dat
rm -f sparse.dat && truncate -s 3G sparse.dat
head -c 5000 demo_block.dat > cut.dat
