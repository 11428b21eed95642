#!/usr/bin/env bash
# Runs the remote under Wine against the stand-in box on 127.0.0.1:8089, whose received commands
# are printed here as they arrive.
#   With $DISPLAY set: opens the remote on that display; close its window (or press Escape in it)
#   to end.
#   Without a display: runs it on a private Xvfb display, presses a few keys by real X input,
#   saves docs/screenshot.png, closes the remote and exits 0 (1 if any of that went wrong).
# Installs what is missing and builds what it needs first. Settings live in build/run-prefix.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1

say() { echo "run: $*"; }
die() { echo "run: $*" >&2; exit 1; }

bash tools/setup.sh || die "installing the prerequisites failed"
source tools/wine-build.sh
say "building"
cmake -S . -B build/host -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null &&
    cmake --build build/host --target standin_box >/dev/null || die "building standin_box failed"
cmake -S . -B "$win_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$win_toolchain" \
    -DSTANDIN_BOX="$root/build/host/standin_box" >/dev/null &&
    cmake --build "$win_build" --target HalcyraRemote e2e_driver >/dev/null || die "building the remote failed"
exe=$root/$win_build/app/HalcyraRemote.exe
driver=$root/$win_build/tests/e2e/e2e_driver.exe
box=$root/build/host/standin_box

headless=0
[ -z "${DISPLAY:-}" ] && headless=1
work=$root/build/run
mkdir -p "$work"
rm -f "$work/box.log" "$work/box.ready"

# Wine session: without a display it brings its own Xvfb; with one it uses $DISPLAY.
[ $headless = 0 ] && export HALCYRA_OWN_DISPLAY=0
source tools/wine-session.sh build/run-prefix

box_pid=
program_pid=
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
    if [ -n "$box_pid" ]; then kill "$box_pid" 2>/dev/null; wait "$box_pid" 2>/dev/null; fi
    wine_session_stop
}
trap cleanup EXIT
trap 'exit 130' INT TERM

KEY='HKCU\Software\Quillon\Halcyra Remote'
reg_add() { wine reg add "$@" /f >/dev/null 2>&1 </dev/null; }
reg_has() { wine reg query "$KEY" /v "$1" >/dev/null 2>&1 </dev/null; }
drv() { wine "$driver" "$@" 2>/dev/null </dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }

# The stand-in box; each connection's bytes are shown as one line when it ends.
show_box() {
    local line text bytes
    while IFS= read -r line; do
        case $line in conn=*) ;; *) continue ;; esac
        text=${line#*$'\t'text=}
        bytes=${line#*$'\t'bytes=}
        echo "box received ${bytes%%$'\t'*} bytes: ${text%%$'\t'*}"
    done
}
"$box" --addr 127.0.0.1 --port 8089 --log "$work/box.log" --ready-file "$work/box.ready" > >(show_box) 2>&1 &
box_pid=$!
for _ in $(seq 1 100); do [ -f "$work/box.ready" ] && break; sleep 0.05; done
[ -f "$work/box.ready" ] || die "the stand-in box cannot listen on 127.0.0.1:8089 (in use?)"
say "stand-in box listening on 127.0.0.1:8089"

# First run in this prefix: the box's address. The wide window (all five placement values and
# a non-zero popout flag) shows the whole keypad under Wine, whose dialog is shorter than on Windows.
reg_has "IP Address" || reg_add "$KEY" /v "IP Address" /d 127.0.0.1
if [ $headless = 1 ] || ! reg_has "Popout Window Visible"; then
    reg_add "$KEY" /v "Remote Window Left" /t REG_DWORD /d 40
    reg_add "$KEY" /v "Remote Window Top" /t REG_DWORD /d 40
    reg_add "$KEY" /v "Remote Window Right" /t REG_DWORD /d 306
    reg_add "$KEY" /v "Remote Window Bottom" /t REG_DWORD /d 585
    reg_add "$KEY" /v "Popout Window Visible" /t REG_DWORD /d 1
fi
# Wine's desktop process starts with the first window use and lives as long as the session; it
# is started here so that it holds no pipe of a later $(drv ...).
wine "$driver" wait-gone 0 >/dev/null 2>&1 </dev/null
# Caption buttons drawn by Wine need Marlett inside the prefix.
fonts=$WINEPREFIX/drive_c/windows/Fonts
if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
fi

if [ $headless = 0 ]; then
    # A window manager decorates the window on a real display.
    wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 </dev/null
    say "opening the remote on $DISPLAY; close its window to end"
    wine "$exe" </dev/null &
    program_pid=$!
    wait "$program_pid"
    status=$?
    program_pid=
    say "the remote ended with exit code $status"
    exit 0
fi

# --- no display: a short demonstration on Xvfb ------------------------------------------------
# No window manager runs there: Wine draws the caption and activates the window itself.
reg_add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N
wine "$exe" >/dev/null 2>&1 </dev/null &
program_pid=$!
drv wait-window 30 >/dev/null || die "the remote's window did not appear"
say "remote open on Xvfb $DISPLAY at $(drv rect | cut -d' ' -f1-2), $(drv rect | cut -d' ' -f5-6 | tr ' ' x)"

click() {  # ID: a real mouse click on the control
    local xy
    xy=$(drv center "$1") || return 1
    # shellcheck disable=SC2086
    xdotool mousemove --sync $xy click 1
}
count() { if [ -f "$work/box.log" ]; then wc -l <"$work/box.log"; else echo 0; fi; }
wait_count() { for _ in $(seq 1 100); do [ "$(count)" -ge "$1" ] && return 0; sleep 0.05; done; return 1; }

expected=0
for id_name in 1001:POWER 1022:1 1023:2 1008:OK 1015:VOL_UP; do
    say "clicking ${id_name#*:}"
    click "${id_name%:*}" || die "cannot click ${id_name#*:}"
    expected=$((expected + 1))
    wait_count $expected || say "the box did not see ${id_name#*:} yet"
done
say "typing \"hello box\" into the Send Test field and pressing Enter"
click 1046 && drv wait-focus 1046 39 5 >/dev/null && xdotool type --delay 20 "hello box" && xdotool key Return
expected=$((expected + 1))
wait_count $expected || say "the box did not see the free text yet"
sleep 0.5  # let the last button redraw before the picture

shoot() {  # FILE: the remote's window as the screen shows it
    local left top right bottom
    read -r left top right bottom _ <<<"$(drv rect)"
    if xwd -root -silent -display "$DISPLAY" | convert xwd:- -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$1"; then
        say "screenshot saved to $1 ($((right - left))x$((bottom - top)))"
    else
        say "taking the screenshot failed"
    fi
}
mkdir -p docs
shoot docs/screenshot.png

# A key that cannot reach a box: nothing listens on 127.0.0.112, so the address label turns red;
# the next key that reaches the box clears it.
say "clicking 1 with 127.0.0.112 in the address field, where nothing listens"
drv set-text 1044 127.0.0.112 >/dev/null && click 1022
if drv wait-red 1043 yes 10 >/dev/null; then
    say "the address label is red: the key did not reach a box"
    sleep 0.3
    shoot docs/undelivered.png
else
    say "the address label did not turn red"
fi
say "pressing the key 2 with 127.0.0.1 in the address field"
drv set-text 1044 127.0.0.1 >/dev/null && xdotool key 2
expected=$((expected + 1))
wait_count $expected || say "the box did not see 2 yet"
drv wait-red 1043 no 10 >/dev/null && say "the address label is back to normal"

say "pressing Escape to close the remote"
click 1044 && drv wait-focus 1044 2 5 >/dev/null && xdotool key Escape
drv wait-gone 10 >/dev/null || drv close >/dev/null
for _ in $(seq 1 200); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.05; done
wait "$program_pid"
status=$?
program_pid=
say "the remote ended with exit code $status"
say "the box received $(count) commands:"
awk -F'\t' '{ for (i = 1; i <= NF; i++) if ($i ~ /^text=/) print "  " substr($i, 6) }' "$work/box.log"
[ "$status" -eq 0 ] && [ "$(count)" -eq "$expected" ] && [ -s docs/screenshot.png ] && [ -s docs/undelivered.png ]
