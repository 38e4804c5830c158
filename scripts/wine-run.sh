#!/usr/bin/env bash
# Runs Windows programs under Wine for the tests, with a prefix of their own inside the build
# tree, Wine's logging off and a virtual X display when none is set.
#
#   wine-run.sh --prefix DIR --start            start a session: display, prefix, a wineserver
#                                               that stays up
#   wine-run.sh --prefix DIR --stop             stop everything the session started
#   wine-run.sh --prefix DIR PROGRAM ARGS...    run PROGRAM in the session (or in a session of
#                                               its own when none is up) and exit with its exit
#                                               code
#
# The prefix is a 64-bit one, as on 64-bit Windows: 64-bit programs run natively, 32-bit ones
# through Wine's 32-bit loader under qemu's user-mode emulation, while the server and the
# session's background processes stay native. A prefix of the 32-bit kind would emulate all of
# those too, and its creation alone takes a quarter of an hour on a loaded machine.
#
# WINE_RUN_TIMEOUT (seconds, default 600) bounds one program. WINE_EXTRA_DLLOVERRIDES is added
# to the DLL overrides below: Wine takes them from the environment it starts with, not from the
# one a Windows program hands to the programs it starts.
set -euo pipefail

prefix=""
if [ "${1:-}" = --prefix ] && [ $# -ge 2 ]; then
    prefix=$2
    shift 2
fi
if [ -z "$prefix" ] || [ $# -eq 0 ]; then
    sed -n '2,17p' "$0" >&2
    exit 2
fi

mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
export WINEPREFIX=$prefix/prefix
export WINEARCH=win64
export WINEDEBUG=-all
# Wine would offer to download its .NET and HTML engines; the programs under test need neither.
export WINEDLLOVERRIDES="mscoree=d;mshtml=d;winemenubuilder.exe=d${WINE_EXTRA_DLLOVERRIDES:+;$WINE_EXTRA_DLLOVERRIDES}"
export WINESERVER=/usr/lib/wine/wineserver64
# The 64-bit loader hands 32-bit programs to the 32-bit one.
wine=/usr/lib/wine/wine64
# qemu's 32-bit guest address space ends one page below 4 GiB by default, which splits the
# 64 KiB slot Wine needs for its shared user data; ending it on a 64 KiB boundary keeps that
# slot whole.
export QEMU_RESERVED_VA=0xffff0000
session=$prefix/session

start_display() {
    local n
    for n in $(seq 90 140); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
            Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
            echo "XVFB_PID=$!" >>"$session"
            for _ in $(seq 100); do
                [ -e "/tmp/.X11-unix/X$n" ] && break
                sleep 0.1
            done
            echo "DISPLAY=:$n" >>"$session"
            export DISPLAY=":$n"
            return 0
        fi
    done
    echo "wine-run: no free X display" >&2
    return 1
}

# Both halves: system32 for 64-bit programs, syswow64 for 32-bit ones.
prefix_ready() {
    [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ] &&
        [ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]
}

# The 32-bit half of a new prefix is set up by emulated processes, which wineboot may stop
# waiting for while they go on to finish it: wait for them, then judge by the result.
create_prefix() {
    "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
    "$WINESERVER" -w
    if ! prefix_ready; then
        echo "wine-run: could not create the prefix $WINEPREFIX" >&2
        return 1
    fi
}

start_session() {
    : >"$session"
    if [ -z "${DISPLAY:-}" ]; then
        start_display
    else
        echo "DISPLAY=$DISPLAY" >>"$session"
    fi
    mkdir -p "$WINEPREFIX"
    if ! prefix_ready; then
        create_prefix
    fi
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
    # Booting starts the session's background processes (services, the desktop). Started by a
    # test program instead, they would inherit its output and keep the test runner waiting.
    "$wine" wineboot </dev/null >/dev/null 2>&1 || true
}

stop_session() {
    "$WINESERVER" -k 2>/dev/null || true
    if [ -f "$session" ]; then
        local pid
        pid=$(sed -n 's/^XVFB_PID=//p' "$session")
        if [ -n "$pid" ]; then
            kill "$pid" 2>/dev/null || true
        fi
        rm -f "$session"
    fi
}

load_session() {
    local display
    display=$(sed -n 's/^DISPLAY=//p' "$session")
    export DISPLAY=$display
}

case "$1" in
    --start)
        stop_session
        start_session
        exit 0
        ;;
    --stop)
        stop_session
        exit 0
        ;;
esac

own_session=0
if [ -f "$session" ]; then
    load_session
else
    own_session=1
    start_session
    trap stop_session EXIT
fi

status=0
timeout --kill-after=10 "${WINE_RUN_TIMEOUT:-600}" "$wine" "$@" || status=$?
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    echo "wine-run: $1 did not finish within ${WINE_RUN_TIMEOUT:-600} s" >&2
fi
exit "$status"
