#!/usr/bin/env bash
# Runs the remote under Wine against the stand-in box on 127.0.0.1:8089, whose received commands
# are printed here as they arrive.
#   With $DISPLAY set: opens the remote on that display; close its window (or press Escape in it)
#   to end.
#   Without a display: runs it on a private Xvfb display, presses a few keys by real X input,
#   saves docs/screenshot.png, searches 127.0.12.0/24 (two more stand-in boxes there) in Find
#   box and saves docs/find-box.png, the Favourites submenu and Edit favourites as
#   docs/favourites-menu.png and docs/favourites.png, closes the remote and exits 0 (1 if any of that went wrong).
# Installs what is missing and builds what it needs first. Settings live in build/run-prefix.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1

say() { echo "run: $*"; }
die() { echo "run: $*" >&2; exit 1; }

bash tools/setup.sh || die "installing the prerequisites failed"
source tools/wine.sh
wine_choose 8
say "building"
build_configure host >/dev/null && nice cmake --build build/host --target standin_box >/dev/null ||
    die "building standin_box failed"
build_configure "$win_arch" >/dev/null && nice cmake --build "$win_build" --target HalcyraRemote e2e_driver >/dev/null ||
    die "building the remote failed"
exe=$root/$win_build/app/HalcyraRemote.exe
driver=$root/$win_build/tests/e2e/e2e_driver.exe
box=$root/build/host/standin_box

headless=0
[ -z "${DISPLAY:-}" ] && headless=1
work=$root/build/run
mkdir -p "$work"
rm -f "$work"/*.log "$work"/*.ready
source tests/e2e/helpers.sh

# Wine session: without a display it brings its own Xvfb; with one it uses $DISPLAY.
[ $headless = 0 ] && export HALCYRA_OWN_DISPLAY=0
wine_session_start build/run-prefix

program_pid=
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
    stop_boxes
    wine_session_stop
}
trap cleanup EXIT
trap 'exit 130' INT TERM

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
start_box 127.0.0.1 box || die "the stand-in box cannot listen on 127.0.0.1:8089 (in use?)"
tail -n +1 -F --pid=$$ "$work/box.log" 2>/dev/null | show_box &  # ends with this script
say "stand-in box listening on 127.0.0.1:8089"

# First run in this prefix: the box's address. The wide window (all five placement values and
# a non-zero popout flag) shows the whole keypad under Wine, whose dialog is shorter than on Windows.
[ -n "$(reg_value "IP Address")" ] || reg_set_text "IP Address" 127.0.0.1
[ -n "$(reg_value Favourites)" ] || wine reg add "$KEY" /v Favourites /t REG_MULTI_SZ \
    /d 'Channel 101=1 0 1 OK\0Subtitles=MENU DOWN DOWN OK\0News=705 /wait 1500 INFO' /f >/dev/null 2>&1 </dev/null
if [ $headless = 1 ] || [ -z "$(reg_value "Popout Window Visible")" ]; then
    reg_set_dword "Remote Window Left" 40
    reg_set_dword "Remote Window Top" 40
    reg_set_dword "Remote Window Right" 306
    reg_set_dword "Remote Window Bottom" 585
    reg_set_dword "Popout Window Visible" 1
fi

if [ $headless = 0 ]; then
    # A window manager decorates the window on a real display.
    prepare_prefix yes
    start_desktop
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
prepare_prefix no
start_desktop
wine "$exe" >/dev/null 2>&1 </dev/null &
program_pid=$!
drv wait-window 30 >/dev/null || die "the remote's window did not appear"
say "remote open on Xvfb $DISPLAY at $(drv rect | cut -d' ' -f1-2), $(drv rect | cut -d' ' -f5-6 | tr ' ' x)"

expected=0
for id_name in 1001:POWER 1022:1 1023:2 1008:OK 1015:VOL_UP; do
    say "clicking ${id_name#*:}"
    click "${id_name%:*}" || die "cannot click ${id_name#*:}"
    expected=$((expected + 1))
    wait_lines box $expected || say "the box did not see ${id_name#*:} yet"
done
say "typing \"hello box\" into the Send Test field and pressing Enter"
click 1046 && drv wait-focus 1046 39 5 >/dev/null && xdotool type --delay 20 "hello box" && xdotool key Return
expected=$((expected + 1))
wait_lines box $expected || say "the box did not see the free text yet"
sleep 0.5  # let the last button redraw before the picture

# The picture of the window (shoot), and a line that says whether it was saved.
save_picture() {  # FILE [CAPTION]
    if shoot "$@"; then say "screenshot saved to $1"; else say "taking the screenshot of $1 failed"; fi
}
mkdir -p docs
save_picture docs/screenshot.png

# A key that cannot reach a box: nothing listens on 127.0.0.112, so the address label turns red
# and reads "Not sent", and its tooltip says why; the next key that reaches the box clears it.
say "clicking 1 with 127.0.0.112 in the address field, where nothing listens"
drv set-text 1044 127.0.0.112 >/dev/null && click 1022
if drv wait-red 1043 yes 10 >/dev/null; then
    say "the address label is red and reads \"$(drv get-text 1043)\": the key did not reach a box"
    sleep 0.3
    save_picture docs/undelivered.png
    xdotool mousemove --sync $(drv center 1043)
    tip=$(drv wait-tip 10) && say "its tooltip: $tip"
    xdotool mousemove 0 0
else
    say "the address label did not turn red"
fi
say "pressing the key 2 with 127.0.0.1 in the address field"
drv set-text 1044 127.0.0.1 >/dev/null && xdotool key 2
expected=$((expected + 1))
wait_lines box $expected || say "the box did not see 2 yet"
drv wait-red 1043 no 10 >/dev/null && say "the address label is back to normal"

# Find box: Ctrl+F, a loopback range of this run's own with stand-in boxes on two of its
# addresses, Search, a picture; Escape closes the dialog without choosing.
for n in 20 77; do start_box 127.0.12.$n find-$n || say "no stand-in box on 127.0.12.$n"; done
say "opening Find box with Ctrl+F and searching 127.0.12.0/24"
click 1044 && drv wait-focus 1044 2 5 >/dev/null && xdotool key ctrl+f
fb() { drv --in "Find box" "$@"; }
if fb set-text 1202 127.0.12.0/24 >/dev/null && fb command 1203 >/dev/null; then
    for _ in $(seq 1 100); do [ "$(fb get-text 1205)" = "256 of 256 tried, 2 found" ] && break; sleep 0.1; done
    say "Find box: $(fb get-text 1205): $(fb list 1204 | tr '\n' ' ')"
    sleep 0.3
    save_picture docs/find-box.png "Find box"
    xdotool key Escape
    for _ in $(seq 1 50); do drv no-message-box >/dev/null && break; sleep 0.1; done
else
    say "Find box did not open"
fi

# Favourites: the submenu of the system menu, which reaches past the window's right edge, and
# Edit favourites; Escape closes each.
say "opening the system menu's Favourites"
click 1044 && drv wait-focus 1044 2 5 >/dev/null && xdotool key alt+space sleep 0.6 key v sleep 1
read -r left top right bottom _ <<<"$(drv rect)"
if [ -n "$bottom" ] && xwd -root -silent -display "$DISPLAY" |
    convert xwd:- -crop "$((right - left + 260))x$((bottom - top))+$left+$top" +repage docs/favourites-menu.png; then
    say "screenshot saved to docs/favourites-menu.png"
fi
xdotool key Up Return  # from the first favourite up to the last item, Edit favourites
if drv --in "Edit favourites" get-text 1403 >/dev/null; then
    sleep 0.3
    save_picture docs/favourites.png "Edit favourites"
    xdotool key Escape
    for _ in $(seq 1 50); do drv no-message-box >/dev/null && break; sleep 0.1; done
else
    xdotool key Escape Escape
    say "Edit favourites did not open"
fi

say "pressing Escape to close the remote"
click 1044 && drv wait-focus 1044 2 5 >/dev/null && xdotool key Escape
drv wait-gone 10 >/dev/null || drv close >/dev/null
for _ in $(seq 1 200); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.05; done
wait "$program_pid"
status=$?
program_pid=
say "the remote ended with exit code $status"
say "the box received $(lines box) commands:"
awk -F'\t' '{ for (i = 1; i <= NF; i++) if ($i ~ /^text=/) print "  " substr($i, 6) }' "$work/box.log"
[ "$status" -eq 0 ] && [ "$(lines box)" -eq "$expected" ] && [ -s docs/screenshot.png ] && [ -s docs/undelivered.png ] &&
    [ -s docs/find-box.png ]
