#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine: the CTest emulator
# (CMAKE_CROSSCOMPILING_EMULATOR) and the runner of build-time tools.
#
#   wine-run.sh program.exe [args...]   run it; exit code is the program's
#   wine-run.sh --stop                  end the Wine session of the prefix
#
# The prefix is $WINEPREFIX, or else <build dir>/wineprefix, where the build
# dir is the first folder above the program that holds CMakeCache.txt. It is
# created on first use. Every program of one prefix shares one Wine session:
# a wineserver kept alive for 30 s after its last client (so a test costs a
# fraction of a second) and one Xvfb display. A session must not mix
# displays: the desktop process starts with the DISPLAY of the first program
# and windows of later programs only work on that same display. The Xvfb ends
# with the wineserver.
set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

find_wine_tool() {
    local name
    for name in "$@"; do
        if [[ -x /usr/lib/wine/$name ]]; then echo "/usr/lib/wine/$name"; return; fi
        if command -v "$name" >/dev/null 2>&1; then command -v "$name"; return; fi
    done
    echo "wine-run.sh: none of $* found (install wine64)" >&2
    exit 127
}
WINE=$(find_wine_tool wine64 wine)
WINESERVER=$(find_wine_tool wineserver64 wineserver)

prefix_for_program() {
    local dir
    dir=$(cd "$(dirname "$1")" 2>/dev/null && pwd) || return 1
    while [[ "$dir" != / ]]; do
        if [[ -f "$dir/CMakeCache.txt" ]]; then echo "$dir/wineprefix"; return; fi
        dir=$(dirname "$dir")
    done
    return 1
}

if [[ -z "${WINEPREFIX:-}" ]]; then
    if [[ "${1:-}" == --stop ]] || ! WINEPREFIX=$(prefix_for_program "${1:-.}"); then
        echo "wine-run.sh: set WINEPREFIX or run a program inside a build tree" >&2
        exit 2
    fi
fi
export WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer prompts while the prefix is made.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

lock_file="$WINEPREFIX.lock"
session_file="$WINEPREFIX.session"   # "<display number> <Xvfb pid>"

server_running() {
    # `wineserver -w` returns at once when no server runs for the prefix.
    ! timeout 0.3 "$WINESERVER" -w >/dev/null 2>&1
}

xvfb_alive() {
    local display pid
    [[ -f "$session_file" ]] || return 1
    read -r display pid <"$session_file" || return 1
    kill -0 "$pid" 2>/dev/null && [[ -S /tmp/.X11-unix/X$display ]]
}

start_xvfb() {
    local fifo display pid
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/wine-run-display.XXXXXX")
    mkfifo "$fifo"
    setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
        3>"$fifo" </dev/null >/dev/null 2>&1 9>&- &
    pid=$!
    read -r -t 10 display <"$fifo" || { rm -f "$fifo"; echo "wine-run.sh: Xvfb did not start" >&2; exit 1; }
    rm -f "$fifo"
    echo "$display $pid" >"$session_file"
    export DISPLAY=":$display"
}

# Ends the session's Xvfb once its wineserver has gone for good. Runs detached.
watch_session() {
    local display pid
    read -r display pid <"$session_file"
    while :; do
        "$WINESERVER" -w >/dev/null 2>&1 || true
        exec 9>"$lock_file"
        flock 9
        if ! server_running; then
            kill "$pid" 2>/dev/null || true
            rm -f "$session_file"
            exit 0
        fi
        exec 9>&-   # a new program joined the session in between: keep waiting
    done
}

start_session() {
    # A server left from another display would break windows: start clean.
    "$WINESERVER" -k >/dev/null 2>&1 || true
    "$WINESERVER" -w >/dev/null 2>&1 || true
    start_xvfb
    "$WINESERVER" -p30 </dev/null >/dev/null 2>&1 9>&- || true
    setsid "$script_dir/wine-run.sh" --watch </dev/null >/dev/null 2>&1 9>&- &
    # Wine's service and desktop processes start with the first program and
    # inherit its output; let them inherit nothing of the caller's.
    if [[ -f "$WINEPREFIX/.updater-ready" ]]; then
        "$WINE" cmd.exe /c exit </dev/null >/dev/null 2>&1 9>&- || true
    fi
}

configure_prefix() {
    # Without a window manager every hide or close waits 2 s for one.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
    # The dialog asks for SimSun by its Chinese name; map it to the CJK font
    # of the test machine. (Arguments reach Wine through the locale's charset.)
    local face
    for face in '宋体' SimSun; do
        LC_ALL=C.UTF-8 "$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" \
            /t REG_SZ /d 'WenQuanYi Micro Hei' /f
    done
    # The caption buttons' glyphs come from Marlett, which Wine ships but
    # does not find outside the prefix.
    local marlett
    for marlett in /usr/share/wine/fonts/marlett.ttf /usr/lib/wine/fonts/marlett.ttf; do
        if [[ -f $marlett ]]; then
            cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"
            break
        fi
    done
}

ensure_prefix() {
    [[ -f "$WINEPREFIX/.updater-ready" ]] && return
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot -i
    configure_prefix
    touch "$WINEPREFIX/.updater-ready"
    # The services started while the prefix was being made do not all come
    # up again cleanly in the same session (COM then waits for its service):
    # start the session's processes afresh on the finished prefix.
    "$WINESERVER" -k || true
    "$WINESERVER" -w || true
    "$WINESERVER" -p30 || true
    "$WINE" cmd.exe /c exit || true
}

case "${1:-}" in
--watch)
    watch_session
    ;;
--stop)
    "$WINESERVER" -k >/dev/null 2>&1 || true
    exit 0
    ;;
esac

mkdir -p "$WINEPREFIX"
exec 9>"$lock_file"
flock -w 300 9
if ! xvfb_alive; then
    start_session
fi
read -r display _ <"$session_file"
export DISPLAY=":$display"
# Keep the session up (a no-op when the server runs already) so that Wine's
# helper processes detach from the caller's output.
"$WINESERVER" -p30 </dev/null >/dev/null 2>&1 9>&- || true
ensure_prefix </dev/null >/dev/null 2>&1 9>&-
exec 9>&-

exec "$WINE" "$@"
