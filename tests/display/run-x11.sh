#!/bin/sh
# run-x11.sh [--wm openbox] PROGRAM [ARGS...]
# Runs a test program on a fresh virtual X display (xvfb-run), optionally with a window
# manager started first. The screen is large enough for every window at its designed size.
set -eu
wm=""
if [ "${1:-}" = "--wm" ]; then
    wm=$2
    shift 2
fi
export X11_SUITE_WM="$wm"
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" sh -c '
    if [ -n "$X11_SUITE_WM" ]; then
        "$X11_SUITE_WM" >/dev/null 2>&1 &
        wm_pid=$!
        # The manager is up once it has claimed the root window.
        for _ in $(seq 50); do
            xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break
            sleep 0.1
        done
    fi
    status=0
    "$@" || status=$?
    [ -n "${wm_pid:-}" ] && kill "$wm_pid" 2>/dev/null
    exit $status
' run-x11 "$@"
