#!/usr/bin/env bash
# The main window's test of where it opens, on a real X server with a screen of the given size, with no
# window manager or under openbox (which keeps the size a window asks for, and frames it). The screen is
# kept in build/test-artifacts/window-on-screen-SIZE[-openbox].png.
#   window-on-screen.sh SHELL_TESTS SIZE none|openbox
# Exit status 0 passed, 1 failed, 77 skipped (with the reason) when Xvfb or openbox is missing.
set -euo pipefail

tests=${1:?shell test program}
size=${2:?screen size, e.g. 1366x768}
manager=${3:?none or openbox}

skip() { echo "SKIPPED: $*"; exit 77; }

# ---- Inside the X server ----
if [ "${QUILM_SCREEN_INSIDE:-}" = 1 ]; then
    if [ "$manager" = openbox ]; then
        ready=$(mktemp -u /tmp/quilm-openbox.XXXXXX)
        openbox --sm-disable --startup "touch $ready" >/dev/null 2>&1 &
        manager_pid=$!
        trap 'kill "$manager_pid" 2>/dev/null || true; rm -f "$ready"' EXIT
        for _ in $(seq 1 100); do
            [ -e "$ready" ] && break
            sleep 0.1
        done
        [ -e "$ready" ] || { echo "FAILED: openbox did not start" >&2; exit 1; }
    fi
    note=
    [ "$manager" = openbox ] && note=-openbox
    QT_QPA_PLATFORM=xcb QUILM_EXPECTED_SCREEN="$size" QUILM_SCREEN_NOTE="$note" \
        "$tests" --gtest_filter='MainWindowOnScreenTest.*' --gtest_brief=1
    exit
fi

# ---- Outside: the X server ----
command -v xvfb-run >/dev/null || skip "xvfb-run is not installed"
command -v Xvfb >/dev/null || skip "Xvfb is not installed"
if [ "$manager" = openbox ]; then
    command -v openbox >/dev/null || skip "openbox is not installed"
fi
QUILM_SCREEN_INSIDE=1 timeout -k 5 120 xvfb-run -a -s "-screen 0 ${size}x24" "$0" "$tests" "$size" "$manager"
