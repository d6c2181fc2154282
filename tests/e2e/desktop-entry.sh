#!/usr/bin/env bash
# The program as the desktop gets it. Building only what scripts/run.sh builds must make every file that
# `cmake --install` takes from the build folder, as the README's steps go: the run command, then the install.
# This build has every target built, so the build's own graph shows it: each file that the build makes and
# the install takes is among the files that building run.sh's targets makes (the rest come with configuring).
# Then `cmake --install` of the build into a temporary folder must give the program, its desktop entry (valid for desktop-file-validate, naming the program, its icon and the photo
# types it reads) and the icon files. Then, on Xvfb, the installed program runs with its window open, and its
# entry is launched with a photo the way a file manager's "Open with" does it (gio launch) while the window is
# stopped (SIGSTOP, as busy as a window can be): that launch waits, opens no window of its own, and once the
# window runs again the photo shows in its photo list. The window is kept in
# build/test-artifacts/desktop-entry-window.png.
#   desktop-entry.sh BUILD_DIR SOURCE_DIR
# Exit status 0 passed, 1 failed, 77 skipped (with the reason) when a tool is missing. Every wait is bounded.
set -euo pipefail

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*" >&2; exit 1; }

# ---- Inside the X server ----
if [ "${QUILM_E2E_INSIDE:-}" = 1 ]; then
    work=$QUILM_E2E_WORK
    here=$QUILM_E2E_HERE
    entry=$QUILM_E2E_ENTRY
    program=$QUILM_E2E_PROGRAM
    artifacts=$QUILM_E2E_ARTIFACTS
    app_pid=
    finish() {
        if [ -n "$app_pid" ]; then
            kill -CONT "$app_pid" 2>/dev/null || true
            kill "$app_pid" 2>/dev/null || true
            wait "$app_pid" 2>/dev/null || true
        fi
    }
    trap finish EXIT
    shot() { import -window root -depth 8 "ppm:$work/shot.ppm"; }
    windows() { xdotool search --onlyvisible --name '^Quilm Print$' 2>/dev/null || true; }
    # Launches of this installed program besides the first (other runs on the machine have other files).
    launched() {
        local pid
        for pid in $(pgrep -x quilm-print || true); do
            [ "$pid" != "$app_pid" ] && [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$program" ] && echo "$pid"
        done
        return 0
    }

    quilm-print >"$work/app.log" 2>&1 &
    app_pid=$!
    window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Quilm Print$' | head -n 1) ||
        fail "the window did not appear (see $work/app.log)"
    eval "$(xdotool getwindowgeometry --shell "$window")" # X Y WIDTH HEIGHT
    # The photo list is the window's left column; the photo is pure magenta, a colour the window never shows.
    photo_pixels() { python3 "$here/screen.py" count "$work/shot.ppm" "$X" "$Y" 400 "$HEIGHT" ff00ff 40; }
    shot
    [ "$(photo_pixels)" -eq 0 ] || fail "the photo list shows the photo before it was handed over"

    # The window is made busy from outside: stopped, it reads nothing until it is continued.
    kill -STOP "$app_pid"
    timeout 60 gio launch "$entry" "$work/photo.jpg" >"$work/launch.log" 2>&1 ||
        fail "gio launch failed: $(cat "$work/launch.log")"
    others=
    for _ in $(seq 1 40); do
        others=$(launched)
        [ -n "$others" ] && break
        sleep 0.25
    done
    [ -n "$others" ] || fail "the entry started no program"
    sleep 3
    kill -0 $others 2>/dev/null || fail "the launch gave up on the busy window"
    [ "$(windows | wc -l)" -eq 1 ] || fail "a second window opened while the first was busy"
    kill -CONT "$app_pid"
    # The launched program hands the photo over and ends; only the first one remains.
    for _ in $(seq 1 120); do
        others=$(launched)
        [ -z "$others" ] && break
        sleep 0.25
    done
    [ -z "$others" ] || fail "the launch through the entry did not end (pid $others)"
    pixels=0
    for _ in $(seq 1 60); do
        shot
        pixels=$(photo_pixels)
        [ "$pixels" -gt 100 ] && break
        sleep 0.5
    done
    mkdir -p "$artifacts"
    convert "$work/shot.ppm" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$artifacts/desktop-entry-window.png"
    [ "$pixels" -gt 100 ] || fail "the photo never reached the open window (see $artifacts/desktop-entry-window.png)"
    count=$(windows | wc -l)
    [ "$count" -eq 1 ] || fail "$count windows named Quilm Print are open"
    kill -0 "$app_pid" 2>/dev/null || fail "the first window ended"
    echo "photo handed over through the desktop entry to the one open window"
    exit 0
fi

# ---- Outside: install, check what was installed, then run it on Xvfb ----
build=$(cd "${1:?build folder}" && pwd)
source_dir=$(cd "${2:?source folder}" && pwd)
command -v desktop-file-validate >/dev/null || skip "desktop-file-validate is not installed (desktop-file-utils)"
command -v identify >/dev/null || skip "identify is not installed (imagemagick)"

[ -f "$build/build.ninja" ] || skip "the build folder was not made with Ninja, as scripts/run.sh makes it"
command -v ninja >/dev/null || skip "ninja is not installed"
targets=$(sed -n 's/^cmake --build build\/release .*--target \(.*\)$/\1/p' "$source_dir/scripts/run.sh")
# Paths as the build names them, relative to its folder.
relative() { while read -r path; do echo "${path#"$build"/}"; done; }
made=$(cd "$build" && ninja -t graph ${targets:-all} | sed -n 's/^"[^"]*" \[label="\(.*\)"\]$/\1/p' | relative | sort -u) ||
    fail "the build knows no target '${targets}' that scripts/run.sh builds"
outputs=$(cd "$build" && ninja -t targets all | sed 's/: [^ :]*$//' | relative | sort -u)
taken=$(find "$build" -name cmake_install.cmake -exec grep -h 'file(INSTALL' {} + | grep -o '"[^"]*"' | tr -d '"' |
    while read -r path; do case "$path" in "$build"/*) echo "${path#"$build"/}" ;; esac; done)
for path in $taken; do
    path=${path%/}
    for output in $outputs; do
        case "$output" in "$path" | "$path"/*) ;; *) continue ;; esac
        grep -qxF "$output" <<<"$made" ||
            fail "building ${targets:-all} (as scripts/run.sh does) does not make $output, which cmake --install takes"
    done
done

work=$(mktemp -d /tmp/QuilmPrint-desktop.XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    fail "cmake --install failed: $(cat "$work/install.log")"

entries=("$prefix"/share/applications/*.desktop)
[ "${#entries[@]}" -eq 1 ] && [ -f "${entries[0]}" ] || fail "not one desktop entry in $prefix/share/applications"
entry=${entries[0]}
desktop-file-validate "$entry" || fail "the desktop entry is not valid"
key() { sed -n "s/^$1=//p" "$entry" | head -n 1; }
[ "$(key Type)" = Application ] || fail "Type is '$(key Type)'"
[ "$(key Name)" = "Quilm Print" ] || fail "Name is '$(key Name)'"
read -r command argument rest <<<"$(key Exec)"
[ "$argument" = "%F" ] && [ -z "$rest" ] || fail "Exec does not pass the files as a list: '$(key Exec)'"
[ -x "$prefix/bin/$command" ] || fail "Exec names '$command', which is not the installed program"
for type in image/jpeg image/png image/tiff image/heic; do
    case ";$(key MimeType)" in *";$type;"*) ;; *) fail "MimeType lacks $type" ;; esac
done
icon=$(key Icon)
[ "$icon" = "$(basename "$entry" .desktop)" ] || fail "the icon '$icon' is not named as the entry"
for side in 16 32 48 64 128 256; do
    file="$prefix/share/icons/hicolor/${side}x${side}/apps/$icon.png"
    [ -f "$file" ] || fail "no icon at $file"
    [ "$(identify -format '%m %wx%h' "$file")" = "PNG ${side}x${side}" ] || fail "$file is not a ${side}px PNG"
done
echo "installed: $prefix/bin/$command, $(basename "$entry") (valid), icons $icon.png"

for tool in xvfb-run Xvfb xdotool import convert python3 gio pgrep; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
convert -size 600x400 xc:'#ff00ff' "$work/photo.jpg"
mkdir -p "$work"/{home,config,data,cache,run}
chmod 0700 "$work/run"
status=0
# No printing here: libcups is pointed at a socket that does not exist, so it asks nobody.
PATH="$prefix/bin:$PATH" HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
    XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/run" CUPS_SERVER="$work/no-cups.sock" \
    QT_QPA_PLATFORM=xcb QUILM_E2E_INSIDE=1 QUILM_E2E_WORK="$work" QUILM_E2E_HERE="$source_dir/tests/e2e" \
    QUILM_E2E_ENTRY="$entry" QUILM_E2E_PROGRAM="$prefix/bin/$command" QUILM_E2E_ARTIFACTS="$source_dir/build/test-artifacts" \
    timeout -k 5 150 xvfb-run -a -s "-screen 0 1600x1000x24" "$0" || status=$?
if [ "$status" -ne 0 ]; then
    echo "--- application output ---" >&2
    cat "$work/app.log" >&2 2>/dev/null || true
    [ "$status" -eq 124 ] && fail "the run took longer than its two and a half minutes"
fi
exit "$status"
