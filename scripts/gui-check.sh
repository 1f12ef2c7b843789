#!/usr/bin/env bash
# GUI check of the Windows program under Wine, run by CTest:
#   gui-check.sh <wine runner> <gui_driver.exe> <artifact folder> stream|block|none [close-during-confirmation]
# The driver starts controller-updater.exe with a simulated controller and
# goes through an update as a user would, or ("none") as shipped on the
# system's HID interfaces (see tests/win32/gui_driver.cpp).
# The runner gives every Wine program of the build tree one Xvfb display, so
# no X server is needed beforehand. Screenshots end up as PNG files in the
# artifact folder, named <family>[-close]-<step>.png.
set -euo pipefail

if (($# < 4)); then
    echo "usage: $0 <wine runner> <gui_driver.exe> <artifact folder> stream|block|none [variant]" >&2
    exit 2
fi
runner=$1 driver=$2 artifacts=$3 family=$4 variant=${5:-}
name=$family${variant:+-close}

mkdir -p "$artifacts"
rm -f "$artifacts/$name"-*.bmp "$artifacts/$name"-*.png

# The program keeps the log of its last run under %LOCALAPPDATA%.
prefix=${WINEPREFIX:-$(cd "$(dirname "$driver")/.." && pwd)/wineprefix}
started=$(mktemp)
trap 'rm -f "$started"' EXIT

status=0
"$runner" "$driver" "$family" "$artifacts" ${variant:+"$variant"} || status=$?

if [[ $family != none && -z $variant ]]; then
    log=$(find "$prefix/drive_c/users" -path '*/AppData/Local/controller-updater/last-run.log' \
          -newer "$started" 2>/dev/null | head -n1)
    stamp='^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} '
    if [[ -z $log ]]; then
        echo "FAIL: no last-run.log written by this run"; status=1
    elif ! grep -Eq "$stamp" "$log" || grep -Evq "$stamp" "$log"; then
        echo "FAIL: $log has lines without a timestamp"; cat "$log"; status=1
    else
        echo "last-run log: $log ($(wc -l <"$log") lines)"
    fi
fi

shopt -s nullglob
for bmp in "$artifacts/$name"-*.bmp; do
    if convert "$bmp" "${bmp%.bmp}.png"; then
        rm -f "$bmp"
    fi
done
for png in "$artifacts/$name"-*.png; do
    echo "screenshot: $png"
done
exit "$status"
