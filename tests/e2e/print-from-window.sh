#!/usr/bin/env bash
# The real program on Xvfb, started with a photo on its command line, is sent Ctrl+P from outside (xdotool):
# the sheet must arrive as 16-bit CUPS raster at the private test bed's photo queue and the jobs popover must
# show the job done. The window is kept in build/test-artifacts/e2e-window.png.
#   print-from-window.sh APPLICATION SOURCE_DIR
# Exit status 0 passed, 1 failed, 77 skipped (with the reason) when Xvfb, xdotool, ImageMagick, cupsd or
# root is missing. Every wait is bounded; the whole run ends within about four minutes.
set -euo pipefail

app=${1:?application}
source_dir=$(cd "${2:?source folder}" && pwd)
here="$source_dir/tests/e2e"
artifacts="$source_dir/build/test-artifacts"

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*" >&2; exit 1; }

# ---- Inside the X server ----
if [ "${QUILM_E2E_INSIDE:-}" = 1 ]; then
    work=$QUILM_E2E_WORK
    app_pid=
    finish() {
        if [ -n "$app_pid" ]; then
            kill "$app_pid" 2>/dev/null || true
            wait "$app_pid" 2>/dev/null || true
        fi
    }
    trap finish EXIT

    shot() { import -window root -depth 8 "ppm:$work/shot.ppm"; }
    # Theme colours: the prominent print button, and the state text of a finished job.
    active=0a84ff
    good=30d158

    "$app" "$work/photo.jpg" >"$work/app.log" 2>&1 &
    app_pid=$!
    window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Quilm Print$' | head -n 1) ||
        fail "the window did not appear (see $work/app.log)"
    xdotool windowfocus --sync "$window"
    eval "$(xdotool getwindowgeometry --shell "$window")" # X Y WIDTH HEIGHT

    # The print button turns blue once a printer, a recipe and the photo are ready.
    button=none
    for _ in $(seq 1 120); do
        shot
        button=$(python3 "$here/screen.py" box "$work/shot.ppm" "$X" $((Y + HEIGHT - 70)) "$WIDTH" 70 "$active" 6)
        [ "$button" != none ] && break
        sleep 0.5
    done
    [ "$button" != none ] || {
        cp "$work/shot.ppm" "$work/not-ready.ppm"
        convert "$work/shot.ppm" "$artifacts/e2e-not-ready.png" || true
        fail "printing never became possible (screen in $artifacts/e2e-not-ready.png)"
    }
    read -r button_x button_y _ button_h <<<"$button"

    xdotool windowfocus --sync "$window"
    xdotool key --clearmodifiers ctrl+p

    # The sheet goes through the queue's filters into its file; the job then completes.
    output="$work/testbed/output/TestbedP900.ras"
    for _ in $(seq 1 180); do
        if [ -s "$output" ] && lpstat -W completed -o TestbedP900 2>/dev/null | grep -q TestbedP900; then
            break
        fi
        sleep 0.5
    done
    [ -s "$output" ] || fail "no raster reached the test bed's photo queue"
    bits=$(python3 "$here/screen.py" raster-bits "$output")
    [ "$bits" = 16 ] || fail "the raster has $bits bits per colour, not 16"

    # The jobs button sits left of the print button (8 apart); its popover opens above it.
    jobs_x=$((button_x - 8 - 19))
    jobs_y=$((button_y + button_h / 2))
    done_pixels=0
    for _ in $(seq 1 40); do
        if [ "$done_pixels" -eq 0 ]; then
            xdotool mousemove "$jobs_x" "$jobs_y" click 1
        fi
        sleep 0.5
        shot
        # The popover's right edge is the jobs button's; it is 340 wide and opens above the button.
        done_pixels=$(python3 "$here/screen.py" count "$work/shot.ppm" $((button_x - 8 - 400)) \
            $((button_y - 520)) 400 520 "$good" 10)
        [ "$done_pixels" -gt 20 ] && break
        # The popover closes on any click outside it; open it again on the next turn if it shows nothing.
        xdotool key Escape
        done_pixels=0
    done
    mkdir -p "$artifacts"
    convert "$work/shot.ppm" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$artifacts/e2e-window.png"
    [ "$done_pixels" -gt 20 ] || fail "the jobs popover never showed the job done (see $artifacts/e2e-window.png)"
    echo "sheet printed: 16-bit raster at the test bed, jobs popover shows it done"
    exit 0
fi

# ---- Outside: what is needed, the test bed, a private home ----
for tool in xvfb-run Xvfb xdotool import convert python3 cupsd; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
[ "$(id -u)" -eq 0 ] || skip "the private CUPS server needs root"
[ -x "$app" ] || fail "no application at $app"

work=$(mktemp -d /tmp/quilm-e2e.XXXXXX)
chmod 0755 "$work"
cleanup() {
    "$source_dir/scripts/cups-testbed.sh" stop "$work/testbed" || true
    rm -rf "$work"
}
trap cleanup EXIT

TESTBED_OWNER=$$ "$source_dir/scripts/cups-testbed.sh" start "$work/testbed" >/dev/null ||
    skip "the private CUPS server did not start"
CUPS_SERVER=$(sed -n 's/^CUPS_SERVER=//p' "$work/testbed/testbed.env")
export CUPS_SERVER
# A photo printer with the driver's full description, the server's default as on a real machine.
"$source_dir/scripts/testbed-printer.sh" "$work/testbed" TestbedP900 --default >/dev/null || fail "cannot add the photo printer"

convert -size 900x600 gradient:'#c04040'-'#f0dcc8' "$work/photo.jpg"
mkdir -p "$work"/{home,config,data,cache,run}
chmod 0700 "$work/run"

status=0
HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache" \
    XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb QUILM_E2E_INSIDE=1 QUILM_E2E_WORK="$work" \
    timeout -k 5 240 xvfb-run -a -s "-screen 0 1600x1000x24" "$0" "$app" "$source_dir" || status=$?
if [ "$status" -ne 0 ]; then
    echo "--- application output ---" >&2
    cat "$work/app.log" >&2 2>/dev/null || true
    [ "$status" -eq 124 ] && fail "the run took longer than its four minutes"
fi
exit "$status"
