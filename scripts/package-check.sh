#!/usr/bin/env bash
# Checks the packages as a user gets them (as root, no display needed).
#
#   package-check.sh deb [build dir]   the .deb of a built linux-release tree
#                                      (default build/linux-release)
#   package-check.sh zip [build dir]   the Windows ZIP of a built mingw tree
#                                      (default build/mingw)
#
# deb: makes the package with cpack, runs lintian (no errors allowed),
# unpacks it into a scratch root and checks every installed file: the
# desktop entry and the AppStream file pass their validators, the hicolor
# PNGs have exactly the sizes of their folders and are rsvg-convert's
# renderings of the icon's SVG (shipped too), the 32 px one with the pixels
# of icon 152's .ico, the manual pages list every option of
# --help, the installed programs run --version, the postinst exits 0 and
# leaves udev alone where udev does not run, and the installed dialog,
# started on an Xvfb display of its own, puts its icon on its window.
# Its screenshot lands in <build>/artifacts/installed-dialog.png.
#
# ok always succeeds, so `test && ok || fail` is an if-then-else here; the
# single-quoted scripts run in sh -c are expanded there on purpose.
# shellcheck disable=SC2015,SC2016
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-deb}
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

# The names the build uses, from their one source.
product_value() { sed -n "s/^set($1 \"\\(.*\\)\")\$/\\1/p" cmake/product.cmake; }
app_id=$(product_value UPDATER_APP_ID)
package=$(product_value UPDATER_DEB_PACKAGE)
read -r -a icon_sizes <<<"$(sed -n 's/^set(UPDATER_ICON_SIZES \(.*\))$/\1/p' cmake/product.cmake)"

# Same pixels (straight RGBA), whatever the file format.
same_pixels() { cmp -s <(convert "$1" -depth 8 rgba:-) <(convert "$2" -depth 8 rgba:-); }

# The same look up to rounding: over white and over black, no pixel differs
# by more than 1 %. (Qt premultiplies icons on the way to the window, which
# moves the straight colour of half-transparent pixels by a step or two.)
same_look() {
    local background differing
    for background in white black; do
        convert "$1" -background "$background" -flatten "$work/look-a.png"
        convert "$2" -background "$background" -flatten "$work/look-b.png"
        differing=$(compare -metric AE -fuzz 1% "$work/look-a.png" "$work/look-b.png" null: 2>&1) || true
        [[ "$differing" == 0 ]] || return 1
    done
}

check_zip() {
    local build=${1:-build/mingw} zip listing top expected log
    rm -f "$build"/packages/*.zip
    log=$(cd "$build" && cpack -G ZIP 2>&1) || { echo "$log" >&2; fail "cpack -G ZIP"; exit 1; }
    zip=$(ls "$build"/packages/*.zip)
    echo "package: $zip"
    listing=$(cmake -E tar tf "$zip")
    top=$(basename "$zip" .zip)
    expected=("$top/controller-updater.exe" "$top/README.txt")
    if [[ -f "$build/bin/controller-updater-cli.exe" ]]; then
        expected+=("$top/controller-updater-cli.exe")
    fi
    for entry in "${expected[@]}"; do
        grep -qxF "$entry" <<<"$listing" && ok "ZIP holds $entry" || fail "ZIP lacks $entry"
    done
    # Icon 152 of the Windows build and the icon of the Linux build are one
    # rendering: the same .ico on both.
    local linux_ico=build/linux-release/generated/app_icon.ico
    if [[ -f "$linux_ico" ]]; then
        cmp -s "$build/generated/app_icon.ico" "$linux_ico" &&
            ok "icon 152 is the icon of the Linux build, byte for byte" ||
            fail "icon 152 differs from $linux_ico"
    fi
}

# --- deb ---------------------------------------------------------------------

work=""
xvfb_pid=""
dialog_pid=""
cleanup() {
    [[ -n "$dialog_pid" ]] && kill "$dialog_pid" 2>/dev/null || true
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
    [[ -z "$work" ]] || rm -rf "$work"
}
trap cleanup EXIT

build_deb() {
    rm -f "$build"/packages/*.deb
    local log
    log=$(cd "$build" && cpack -G DEB 2>&1) || { echo "$log" >&2; fail "cpack -G DEB"; exit 1; }
    deb=$(ls "$build"/packages/"${package}"_*.deb)
    version=$(dpkg-deb -f "$deb" Version)
    echo "package: $deb ($(dpkg-deb -f "$deb" Depends))"
}

run_lintian() {
    # Errors fail the check; warnings and notes are shown.
    local status=0 report
    report=$(lintian --info --fail-on error "$deb" 2>&1) || status=$?
    grep -v 'running with root privileges' <<<"$report" || true
    ((status == 0)) && ok "lintian: no errors" || fail "lintian reports errors"
}

unpack() {
    root=$work/root
    control=$work/control
    dpkg-deb -x "$deb" "$root"
    dpkg-deb -e "$deb" "$control"
}

check_files() {
    local file size
    local files=(
        usr/bin/controller-updater
        usr/bin/controller-updater-qt
        usr/lib/udev/rules.d/70-controller-updater.rules
        "usr/share/applications/$app_id.desktop"
        "usr/share/metainfo/$app_id.metainfo.xml"
        usr/share/man/man1/controller-updater.1.gz
        usr/share/man/man1/controller-updater-qt.1.gz
        "usr/share/doc/$package/copyright"
        "usr/share/doc/$package/changelog.gz"
    )
    for size in "${icon_sizes[@]}"; do
        files+=("usr/share/icons/hicolor/${size}x$size/apps/$app_id.png")
    done
    files+=("usr/share/icons/hicolor/scalable/apps/$app_id.svg")
    for file in "${files[@]}"; do
        [[ -f "$root/$file" ]] && ok "installs /$file" || fail "does not install /$file"
    done
    cmp -s platform/linux/70-controller-updater.rules "$root/usr/lib/udev/rules.d/70-controller-updater.rules" &&
        grep -q 'TAG+="uaccess"' "$root/usr/lib/udev/rules.d/70-controller-updater.rules" &&
        ok "udev rule is the tree's uaccess rule" || fail "udev rule differs from the tree's"
}

check_desktop_and_appstream() {
    local desktop=$root/usr/share/applications/$app_id.desktop
    local metainfo=$root/usr/share/metainfo/$app_id.metainfo.xml
    local modalias
    desktop-file-validate "$desktop" && ok "desktop-file-validate" || fail "desktop-file-validate"
    grep -qx 'Exec=controller-updater-qt' "$desktop" && grep -qx "Icon=$app_id" "$desktop" &&
        grep -qx 'Categories=Utility;' "$desktop" && grep -q '^Keywords=' "$desktop" &&
        ok "desktop entry starts the dialog, with its icon, category and keywords" ||
        fail "desktop entry: Exec, Icon, Categories or Keywords wrong"
    # The id's top-level domain is the reserved .invalid on purpose: that
    # note alone does not fail the strict validation.
    appstreamcli validate --no-net --strict --override=cid-maybe-not-rdns=pedantic "$metainfo" &&
        ok "appstreamcli validate --no-net" || fail "appstreamcli validate --no-net"
    for modalias in usb:v0483p5750d usb:v5A3Cp5750d usb:v5A3Cp4C21d; do
        grep -qF "<modalias>$modalias*</modalias>" "$metainfo" && ok "AppStream provides $modalias*" ||
            fail "AppStream lacks <modalias>$modalias*</modalias>"
    done
    grep -q '<caption>' "$metainfo" && grep -q '<content_rating type="oars-1.1"' "$metainfo" &&
        grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" &&
        ok "AppStream: screenshot caption, content rating, launchable" ||
        fail "AppStream: screenshot caption, content rating or launchable missing"
}

check_icons() {
    local dir size png found=() expected
    for dir in "$root"/usr/share/icons/hicolor/*/; do
        found+=("$(basename "$dir")")
    done
    expected=$( (for size in "${icon_sizes[@]}"; do echo "${size}x$size"; done; echo scalable) | sort)
    [[ "$(printf '%s\n' "${found[@]}" | sort)" == "$expected" ]] &&
        ok "hicolor sizes: ${found[*]}" || fail "hicolor sizes are ${found[*]}"
    for size in "${icon_sizes[@]}"; do
        png=$root/usr/share/icons/hicolor/${size}x$size/apps/$app_id.png
        [[ "$(identify -format '%m %wx%h' "$png")" == "PNG ${size}x$size" ]] &&
            ok "$size px icon is a ${size}x$size PNG" || fail "$png is $(identify -format '%m %wx%h' "$png")"
        # Rendered from the one source, and nothing else.
        rsvg-convert -w "$size" -h "$size" -o "$work/$size.png" res/app_icon.svg
        cmp -s "$png" "$work/$size.png" && ok "$size px icon is the SVG's rendering" ||
            fail "$size px icon is not what rsvg-convert renders of res/app_icon.svg"
    done
    cmp -s res/app_icon.svg "$root/usr/share/icons/hicolor/scalable/apps/$app_id.svg" &&
        ok "scalable icon is res/app_icon.svg" || fail "scalable icon differs from res/app_icon.svg"
    same_pixels "$build/generated/app_icon.ico" "$root/usr/share/icons/hicolor/32x32/apps/$app_id.png" &&
        ok "32 px icon has the pixels of the .ico of icon 152" || fail "32 px icon differs from the .ico"
}

check_programs() {
    local program option page text
    for program in controller-updater controller-updater-qt; do
        [[ "$("$root/usr/bin/$program" --version)" == "$program $version" ]] &&
            ok "installed $program --version: $program $version" ||
            fail "installed $program --version: $("$root/usr/bin/$program" --version || true)"
        # The manual page, as text, names every option that --help lists.
        page=$root/usr/share/man/man1/$program.1.gz
        text=$(zcat "$page" | sed 's/\\-/-/g; s/\\f[BIRP]//g')
        for option in $("$root/usr/bin/$program" --help | grep -oE '^  +-[-a-z]+(, -[a-z])?' | tr -d ','); do
            grep -qF -- "$option" <<<"$text" || fail "$program.1 lacks $option"
        done
        ok "$program.1 lists every option of --help"
    done
}

check_postinst() {
    local stub=$work/stub log=$work/udevadm.log status=0
    mkdir -p "$stub"
    # A udevadm that records its calls and fails, like one without udev.
    printf '#!/bin/sh\necho "$*" >>"%s"\nexit 1\n' "$log" >"$stub/udevadm"
    chmod +x "$stub/udevadm"
    : >"$log"
    if [[ -e /run/udev/control ]]; then
        # udev runs here: hide it from the script in a mount namespace.
        PATH="$stub:$PATH" unshare --mount --propagation private \
            sh -c 'mount -t tmpfs tmpfs /run && exec sh "$0" configure' "$control/postinst" || status=$?
    else
        PATH="$stub:$PATH" sh "$control/postinst" configure || status=$?
    fi
    ((status == 0)) && [[ ! -s "$log" ]] && ok "postinst without udev: exit 0, udevadm not called" ||
        fail "postinst without udev: exit $status, udevadm calls: $(cat "$log")"

    # Where udev seems to run but udevadm fails (a chroot): still exit 0.
    if unshare --mount --propagation private true 2>/dev/null && command -v python3 >/dev/null; then
        : >"$log"
        status=0
        PATH="$stub:$PATH" unshare --mount --propagation private sh -c '
            mount -t tmpfs tmpfs /run && mkdir /run/udev &&
            python3 -c "import socket; socket.socket(socket.AF_UNIX).bind(\"/run/udev/control\")" &&
            exec sh "$0" configure' "$control/postinst" || status=$?
        ((status == 0)) && grep -q -- '--reload-rules' "$log" && grep -q -- 'trigger.*--subsystem-match=hidraw' "$log" &&
            ok "postinst with udev: reloads the rules, triggers hidraw, exit 0 though udevadm fails" ||
            fail "postinst with a failing udevadm: exit $status, calls: $(cat "$log")"
    else
        echo "note: no mount namespace here; postinst checked without udev only"
    fi
}

start_xvfb() {
    local fifo=$work/displayfd
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" </dev/null >/dev/null 2>&1 &
    xvfb_pid=$!
    read -r -t 10 display <"$fifo" || { fail "Xvfb did not start"; return 1; }
    export DISPLAY=":$display"
}

# The viewable top-level window of the dialog, if it is there.
dialog_window() {
    local window
    for window in $(xwininfo -root -children | grep -oE '^ +0x[0-9a-f]+' | tr -d ' '); do
        xprop -id "$window" WM_CLASS 2>/dev/null | grep -q '"controller-updater-qt"' || continue
        xwininfo -id "$window" | grep -q 'Map State: IsViewable' && { echo "$window"; return 0; }
    done
    return 1
}

# One image of a window's _NET_WM_ICON (width, height, then ARGB cardinals
# per image) as a PNG file.
window_icon_png() {
    xprop -id "$1" -notype 32c _NET_WM_ICON | sed 's/^[^=]*= //' | tr -d ' ' | tr ',' '\n' |
        awk -v want="$2" '
            BEGIN { state = "w" }
            state == "w" { w = $1; state = "h"; next }
            state == "h" { h = $1; n = w * h; i = 0; state = "p";
                           if (w == want) print "# ImageMagick pixel enumeration: " w "," h ",255,srgba"; next }
            state == "p" { if (w == want) printf "%d,%d: (%d,%d,%d,%d)\n", i % w, int(i / w),
                               int($1 / 65536) % 256, int($1 / 256) % 256, $1 % 256, int($1 / 16777216) % 256
                           if (++i == n) state = "w" }' >"$work/icon.txt"
    [[ -s "$work/icon.txt" ]] && convert "txt:$work/icon.txt" "$3"
}

check_window_icon() {
    local artifacts=$build/artifacts window="" icons i
    mkdir -p "$artifacts"
    rm -f "$artifacts"/installed-dialog*.png
    start_xvfb || return 0
    LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb "$root/usr/bin/controller-updater-qt" --simulate=stream \
        >"$work/dialog.log" 2>&1 &
    dialog_pid=$!
    for ((i = 0; i < 100; i++)); do
        window=$(dialog_window) && break
        kill -0 "$dialog_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [[ -z "$window" ]]; then
        fail "the installed dialog showed no window: $(cat "$work/dialog.log")"
        return 0
    fi
    sleep 0.5   # let it paint
    icons=$(xprop -id "$window" _NET_WM_ICON | grep -oE 'Icon \([0-9]+ x [0-9]+\)' | tr -d 'Icon() ' | paste -sd ' ')
    if [[ " $icons " == *" 32x32 "* ]]; then
        ok "installed dialog sets _NET_WM_ICON on window $window: $icons"
        # Its 32 px image, as the window manager gets it, is the app icon.
        window_icon_png "$window" 32 "$artifacts/installed-dialog-icon-32.png" &&
            same_look "$artifacts/installed-dialog-icon-32.png" \
                "$root/usr/share/icons/hicolor/32x32/apps/$app_id.png" &&
            ok "window icon at 32 px is the installed 32 px icon" || fail "window icon differs from the app icon"
    else
        fail "installed dialog's _NET_WM_ICON: $(xprop -id "$window" _NET_WM_ICON | head -c 200)"
    fi
    import -window "$window" "$artifacts/installed-dialog.png" &&
        echo "screenshot: $artifacts/installed-dialog.png" || fail "no screenshot"
    kill "$dialog_pid" 2>/dev/null || true
    wait "$dialog_pid" 2>/dev/null || true
    dialog_pid=""
}

case "$mode" in
zip)
    check_zip "${2:-}"
    ;;
deb)
    build=${2:-build/linux-release}
    work=$(mktemp -d "${TMPDIR:-/tmp}/package-check.XXXXXX")
    build_deb
    run_lintian
    unpack
    check_files
    check_desktop_and_appstream
    check_icons
    check_programs
    check_postinst
    check_window_icon
    ;;
*)
    echo "usage: $0 deb|zip [build dir]" >&2
    exit 2
    ;;
esac

if ((failures)); then
    echo "package check ($mode): $failures failure(s)" >&2
    exit 1
fi
echo "package check ($mode): all passed"
exit 0
