#!/usr/bin/env bash
# The remote end to end under Wine: the real program, its window driven by e2e_driver and by real
# X input (xdotool), and stand-in boxes on loopback addresses that log every byte they receive.
# Usage: run_e2e.sh PROGRAM.exe DRIVER.exe STANDIN_BOX
# Prints one line per check and "N passed, M failed"; exits 1 when any check failed.
# The address field never holds a non-loopback address when a key command is sent.
set -u
if [ $# -ne 3 ]; then
    echo "usage: $0 PROGRAM.exe DRIVER.exe STANDIN_BOX" >&2
    exit 2
fi
exe=$(readlink -f "$1")
driver=$(readlink -f "$2")
box=$(readlink -f "$3")
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(dirname "$driver")
wine_kind=wine${HALCYRA_WINE:-8}  # each Wine has prefixes and files of its own
work=$build/e2e-work-$wine_kind
command -v xdotool >/dev/null || { echo "e2e: xdotool is missing (bash tools/setup.sh)"; exit 1; }

rm -rf "$work"
mkdir -p "$work"
source "$root/tools/wine.sh"
source "$here/helpers.sh"
wine_session_start "$build/e2e-prefix-$wine_kind"

BOX_A=127.0.0.51
BOX_B=127.0.0.52
BOX_SILENT=127.0.0.110  # takes every command and never answers
NOBODY=127.0.0.111      # nothing ever listens here: connections are refused
BOX_HANG=127.0.0.112    # its connection attempts hang
IDM_ON_TOP=0xA50        # the system menu's "Always on top"
exe_pid=
passed=0
failed=0

cleanup() {
    [ -n "$exe_pid" ] && kill "$exe_pid" 2>/dev/null
    stop_boxes
    wine_session_stop
}
trap cleanup EXIT
trap 'exit 130' INT TERM

pass() { echo "PASS $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1${2:+: $2}"; failed=$((failed + 1)); }

# The hex of the connections logged after the first SKIP lines, in accept order, space-separated.
hex_after() {  # BOX SKIP
    awk -F'\t' -v skip="$2" 'NR > skip {
        c = ""; h = "";
        for (i = 1; i <= NF; i++) { if ($i ~ /^conn=/) c = substr($i, 6); if ($i ~ /^hex=/) h = substr($i, 5) }
        print c, h }' "$work/$1.log" 2>/dev/null | sort -n | awk '{ printf "%s%s", sep, $2; sep = " " }'
}
frame() { printf '%s\r\n\0' "$1" | od -An -v -tx1 | tr -d ' \n'; }
# A sleeping box's network card: the hex of each datagram at ADDRESS, UDP port 9, one a line,
# for 60 s at most; waits (5 s at most) until it listens.
wake_listen() {  # ADDRESS FILE
    python3 -c '
import socket, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind((sys.argv[1], 9))
s.settimeout(0.2)
open(sys.argv[2] + ".ready", "w").close()
end = time.monotonic() + 60
with open(sys.argv[2], "a") as log:
    while time.monotonic() < end:
        try:
            log.write(s.recv(512).hex() + "\n")
            log.flush()
        except socket.timeout:
            pass
' "$1" "$2" >/dev/null 2>&1 &
    box_pids+=($!)
    for _ in $(seq 1 100); do [ -f "$2.ready" ] && return 0; sleep 0.05; done
    return 1
}

# Sends WM_COMMAND WPARAM and checks that box BOX received exactly the framed TEXTS, in order.
expect_sent() {  # NAME BOX WPARAM TEXT...
    local name=$1 where=$2 wparam=$3
    shift 3
    expect_sent_by "$name" "$where" "drv command $wparam" "$@"
}
# The same for any ACTION, a command line that fails when the action itself went wrong.
expect_sent_by() {  # NAME BOX ACTION TEXT...
    local name=$1 where=$2 action=$3
    shift 3
    local before want="" text out
    before=$(lines "$where")
    for text in "$@"; do want="$want${want:+ }$(frame "$text")"; done
    if ! out=$(eval "$action"); then fail "$name" "$out"; return; fi
    wait_lines "$where" $((before + $#))
    sleep 0.1  # room for a connection too many to show up
    local got
    got=$(hex_after "$where" "$before")
    if [ "$got" = "$want" ]; then pass "$name"; else fail "$name" "box $where got [$got], expected [$want]"; fi
}

# After actions that must send nothing: a POWER press is the next and only connection at BOX_A,
# and nothing reached BOX_B. The transport keeps the order of connections, so anything started
# earlier would be logged first.
expect_nothing_sent() {  # NAME BEFORE_A BEFORE_B
    local name=$1 before=$2 before_b=$3 out
    if ! out=$(drv command 1001); then fail "$name" "$out"; return; fi
    wait_lines a $((before + 1))
    sleep 0.3
    local got
    got=$(hex_after a "$before")
    if [ "$got" = "$(frame "press POWER")" ] && [ "$(lines b)" -eq "$before_b" ]; then
        pass "$name"
    else
        fail "$name" "box a got [$got] (only the POWER sentinel expected), box b has $(lines b) lines, had $before_b"
    fi
}

# Listens on ADDRESS:8089 with its one queue place taken, so that every connection attempt hangs
# (its SYN is dropped), for at most two minutes.
hang_box() {
    python3 - "$1" <<'PY'
import socket, sys, time
address = sys.argv[1]
listener = socket.socket()
listener.bind((address, 8089))
listener.listen(0)
fillers = []
for _ in range(2):
    filler = socket.socket()
    filler.setblocking(False)
    try:
        filler.connect((address, 8089))
    except BlockingIOError:
        pass
    fillers.append(filler)
time.sleep(120)
PY
}

# --- the program ---------------------------------------------------------------------------------
run_no=0
start_program() {  # [/min]: started minimised
    run_no=$((run_no + 1))
    if [ "${1:-}" = /min ]; then
        wine start /wait /min /unix "$exe" >"$work/program-$run_no.log" 2>&1 </dev/null &
        exe_pid=$!
        # Wine's start.exe now and then fails to hand the program over ("ShellExecuteEx failed"):
        # the program never ran, so it is started once more.
        for _ in $(seq 1 100); do kill -0 "$exe_pid" 2>/dev/null || break; drv wait-window 0.1 >/dev/null && return 0; done
        if ! kill -0 "$exe_pid" 2>/dev/null && grep -q "ShellExecuteEx failed" "$work/program-$run_no.log"; then
            wine start /wait /min /unix "$exe" >>"$work/program-$run_no.log" 2>&1 </dev/null &
            exe_pid=$!
        fi
    else
        wine "$exe" >"$work/program-$run_no.log" 2>&1 </dev/null &
        exe_pid=$!
    fi
    drv wait-window 30 >/dev/null
}
# Waits (15 s at most) for the program's process to end and checks its exit code.
expect_exit_zero() {  # NAME
    local rc
    for _ in $(seq 1 300); do kill -0 "$exe_pid" 2>/dev/null || break; sleep 0.05; done
    if kill -0 "$exe_pid" 2>/dev/null; then
        fail "$1" "process still running 15 s after its window closed"
        kill "$exe_pid" 2>/dev/null
    else
        wait "$exe_pid"
        rc=$?
        if [ "$rc" -eq 0 ]; then pass "$1"; else fail "$1" "exit code $rc"; fi
    fi
    exe_pid=
}
to_dec() { printf '%d' "$1" 2>/dev/null; }
# "1 checked" when the window has WS_EX_TOPMOST and "Always on top" is checked, "0 unchecked" when neither.
on_top() { echo "$(($(drv ex-style) & 0x8 ? 1 : 0)) $(drv menu-state $IDM_ON_TOP)"; }

# --- set-up --------------------------------------------------------------------------------------
# No window manager runs on this display.
prepare_prefix no
start_desktop
reg_delete_key
start_box $BOX_A a || { echo "e2e: stand-in box on $BOX_A did not start"; exit 1; }
start_box $BOX_B b || { echo "e2e: stand-in box on $BOX_B did not start"; exit 1; }

# --- run 0: no settings yet ------------------------------------------------------------------------
if start_program; then
    out=$(drv get-text 1044)
    [ "$out" = "0.0.0.0" ] && pass "first start without settings shows 0.0.0.0" ||
        fail "first start without settings shows 0.0.0.0" "field shows \"$out\""
    [ "$(drv focus) $(on_top)" = "1044 2 0 unchecked" ] &&
        pass "without a saved address the focus starts in the address field; not on top" ||
        fail "without a saved address the focus starts in the address field; not on top" "focus, on top: $(drv focus) $(on_top)"
    template_rect=$(drv rect)
    drv close >/dev/null
    expect_exit_zero "first run closes with exit code 0"
    if [ "$(reg_value "IP Address")" = "0.0.0.0" ] && [ -n "$(reg_value "Remote Window Left")" ] &&
        [ -n "$(reg_value "Remote Window Bottom")" ] && [ -z "$(reg_value "Popout Window Visible")" ]; then
        pass "first close saves 0.0.0.0 and the window rectangle"
    else
        fail "first close saves 0.0.0.0 and the window rectangle" "$(wine reg query "$KEY" 2>&1 | tr -d '\r' | tr '\n' ' ')"
    fi
else
    fail "first start" "no main window within 30 s"
    exit 1
fi

# --- run 1: the box's address saved; every command ----------------------------------------------
reg_set_text "IP Address" $BOX_A
if ! start_program; then
    fail "start with a saved address" "no main window within 30 s"
    exit 1
fi
out=$(drv check-layout $BOX_A) && pass "layout, caption, client size, styles, texts and font" ||
    fail "layout, caption, client size, styles, texts and font" "$(echo "$out" | head -45)"
[ "$(drv rect)" = "$template_rect" ] && pass "window left at the template position (no popout flag saved)" ||
    fail "window left at the template position (no popout flag saved)" "$(drv rect) vs $template_rect"
expect_sent_by "with a saved address the first digit typed after start-up reaches the box" a "xdotool key 5" "press NUMBER5"
expect_sent_by "OK, which has the focus, is the default button: Enter sends its key" a "xdotool key Return" "press OK"

# Every key id, one at a time, with its exact bytes; the multi-key ids in their order.
while read -r id names; do
    IFS=, read -r -a keys <<<"$names"
    texts=()
    for k in "${keys[@]}"; do texts+=("press $k"); done
    expect_sent "key $id sends ${names//,/ then }" a "$id" "${texts[@]}"
done <<'EOF'
1001 POWER
1002 PLAYPAUSE
1003 REVERSE
1004 RECORD
1005 STOP
1006 FORWARD
1007 MENU
1008 OK
1009 ACCEPT
1010 UP
1011 DOWN
1012 RIGHT
1013 LEFT
1014 CANCEL
1015 VOLUME_UP
1016 VOLUME_DOWN
1017 MUTE
1018 PAGE_CHANNEL_DOWN
1019 GUIDE
1020 SELECT
1021 NUMBER0
1022 NUMBER1
1023 NUMBER2
1024 NUMBER3
1025 NUMBER4
1026 NUMBER5
1027 NUMBER6
1028 NUMBER7
1029 NUMBER8
1030 NUMBER9
1031 PUNCTUATION1
1032 PUNCTUATION2
1033 PAGE_CHANNEL_UP
1034 SELECT
1036 PLAYPAUSE
1037 PLAY
1038 ACCEPT
1049 NUMBER7,NUMBER0,NUMBER5
1050 NUMBER7,NUMBER0,NUMBER6
1051 MENU,OK,OK
1052 MENU,RIGHT,OK,OK
EOF

# Ids without a key command, a notification code in the high word, and the private messages are
# not routed: even with an invalid address in the field no box appears (a routed id would check
# the address first), and nothing is sent.
before=$(lines a)
before_b=$(lines b)
bad=""
drv set-text 1044 "127.000.000.051" >/dev/null
for wparam in 1035 1039 1040 1041 1042 1043 1044 1045 1046 1047 1053 1100 $((0x10000 | 1001)) \
    $((0x10000 | 1048)) $((0x10000 | 1)) $((0x30000 | 1044)); do
    if ! out=$(drv command $wparam); then
        bad="$bad $wparam"
        drv expect-message-box "Invalid IP Address" "Zavaveva" 2 >/dev/null  # closes a wrong box
    fi
done
for message in 0x8004 0x8005 0x8006 0x8007; do
    out=$(drv send-message $message 0 0)
    [ "$out" = "0" ] || bad="$bad msg$message=$out"
done
drv no-message-box >/dev/null || bad="$bad (a box is open)"
drv set-text 1044 $BOX_A >/dev/null
[ -z "$bad" ] && pass "unrouted ids and private messages: no address check, result 0" ||
    fail "unrouted ids and private messages: no address check, result 0" "failed:$bad"
expect_nothing_sent "1035, 1039..1047, 1053, 1100, notification codes, 0x8004..0x8007 send nothing" "$before" "$before_b"

# Invalid address texts: the box appears, nothing is sent. Every text here would still mean a
# loopback address if it were wrongly accepted.
for text in "127.000.000.051" "127.0.0" "127.0.0.51 " " 127.0.0.51" "127.0.0.256" "127.0.0.4294967347" ""; do
    before=$(lines a)
    before_b=$(lines b)
    drv set-text 1044 "$text" >/dev/null
    drv post-command 1001 >/dev/null
    out=$(drv expect-message-box "Invalid IP Address" "Zavaveva" 10)
    status=$?
    drv set-text 1044 $BOX_A >/dev/null  # a valid loopback address back before anything else
    [ $status -eq 0 ] && pass "invalid address \"$text\": message box" || fail "invalid address \"$text\": message box" "$out"
    expect_nothing_sent "invalid address \"$text\": nothing sent" "$before" "$before_b"
done
before=$(lines a)
before_b=$(lines b)
drv set-text 1044 "127.000.000.051" >/dev/null
drv post-command 1049 >/dev/null
out=$(drv expect-message-box "Invalid IP Address" "Zavaveva" 10) && status=0 || status=1
sleep 0.3
drv no-message-box >/dev/null || status=1  # one check for the whole sequence: one box
drv set-text 1044 $BOX_A >/dev/null
[ $status -eq 0 ] && pass "multi-key id with an invalid address: one box" || fail "multi-key id with an invalid address: one box" "$out"
expect_nothing_sent "multi-key id with an invalid address: nothing sent" "$before" "$before_b"

# The free-text line, through the Send Test id and through IDOK.
drv set-text 1046 "hello e2e" >/dev/null
expect_sent "free text via 1048" a 1048 "hello e2e"
drv set-text 1046 "enter as IDOK" >/dev/null
expect_sent "free text via 1 (IDOK)" a 1 "enter as IDOK"
long=$(printf 'x%.0s' $(seq 1 251))
drv set-text 1046 "$long" >/dev/null
expect_sent "free text of 251 characters goes out as 254 bytes" a 1048 "$long"
before=$(lines a)
before_b=$(lines b)
drv set-text 1046 "${long}y" >/dev/null
drv command 1048 >/dev/null
drv set-text 1046 "" >/dev/null
drv command 1048 >/dev/null
drv command 1 >/dev/null
expect_nothing_sent "free text of 252 characters and empty free text send nothing" "$before" "$before_b"

# The free text goes to the address held, which changes only when a key command is pressed.
drv set-text 1044 $BOX_B >/dev/null
drv set-text 1046 "to the held address" >/dev/null
before_b=$(lines b)
expect_sent "free text after typing a new address still goes to the held one" a 1048 "to the held address"
[ "$(lines b)" -eq "$before_b" ] || fail "nothing reached the new address before a key press"
expect_sent "a key press takes the new address" b 1001 "press POWER"
expect_sent "free text then goes to the new address" b 1048 "to the held address"
drv set-text 1044 $BOX_A >/dev/null
expect_sent "back to the first address" a 1008 "press OK"
out=$(reg_value "Recent Boxes")
[ "$out" = "$BOX_A $BOX_B" ] && pass "\"Recent Boxes\" holds the boxes keys went to, most recent first" ||
    fail "\"Recent Boxes\" holds the boxes keys went to, most recent first" "\"$out\""

# Real input: Enter in either field sends the free text; a click on a key sends it.
expect_enter_sends() {  # NAME TEXT: the focus is in a field; Enter must send TEXT as free text
    drv set-text 1046 "$2" >/dev/null
    local before
    before=$(lines a)
    xdotool key Return
    wait_lines a $((before + 1))
    sleep 0.1
    [ "$(hex_after a "$before")" = "$(frame "$2")" ] && pass "$1" ||
        fail "$1" "box got [$(hex_after a "$before")]"
}
if click 1044 && drv wait-focus 1044 2 5 >/dev/null; then
    expect_enter_sends "Enter in the address field sends the free text" "enter in the address field"
else
    fail "Enter in the address field sends the free text" "cannot focus the address field by a click"
fi
# The free-text field lies below the bottom of the default window under Wine (client 180 x 480),
# so it is reached backwards from the address field with Shift+Tab.
click 1044 && drv wait-focus 1044 2 5 >/dev/null && xdotool key shift+Tab
if drv wait-focus 1046 39 5 >/dev/null; then
    expect_enter_sends "Enter in the free-text field sends the free text" "enter in the free text"
else
    fail "Enter in the free-text field sends the free text" "Shift+Tab from the address field did not reach it"
fi
before=$(lines a)
click 1022
wait_lines a $((before + 1))
sleep 0.1
[ "$(hex_after a "$before")" = "$(frame "press NUMBER1")" ] && pass "a mouse click on 1 sends press NUMBER1" ||
    fail "a mouse click on 1 sends press NUMBER1" "box got [$(hex_after a "$before")]"

# Tab walks the 38 tab stops in creation order (the label has none) and comes round again.
tab_error=""
click 1044
if drv wait-focus 1044 2 5 >/dev/null; then
    presses=0
    for row in 1001:3 1022:4 1023:5 1024:6 1025:7 1026:8 1027:9 1028:10 1029:11 1030:12 1021:13 1020:14 \
        1019:15 1010:16 1013:17 1008:18 1012:19 1007:20 1011:21 1014:22 1037:23 1003:24 1006:25 1002:26 \
        1004:27 1005:28 1033:29 1018:30 1015:31 1016:32 1017:33 1009:34 1031:35 1032:36 1048:37 1048:38 \
        1046:39 1044:2; do
        xdotool key Tab
        presses=$((presses + 1))
        if ! got=$(drv wait-focus "${row%:*}" "${row#*:}" 5); then
            tab_error="after Tab $presses the focus is on id/row $got, expected ${row/:/ \/ }"
            break
        fi
    done
else
    tab_error="a click did not focus the address field"
fi
[ -z "$tab_error" ] && pass "Tab order follows the control table" || fail "Tab order follows the control table" "$tab_error"

# Always on top, from the system menu: Alt+Space, then T.
xdotool key alt+space sleep 0.3 key t
sleep 0.3
[ "$(on_top) $(reg_value "Always On Top")" = "1 checked 0x1" ] &&
    pass "\"Always on top\" checks, makes the window topmost and saves 1" ||
    fail "\"Always on top\" checks, makes the window topmost and saves 1" "$(on_top) $(reg_value "Always On Top")"

# Escape closes and saves: the held address (not the untried text in the field) and the rectangle.
drv set-text 1044 "127.0.0.99" >/dev/null
closing_rect=$(drv rect)
click 1044 && drv wait-focus 1044 2 5 >/dev/null
xdotool key Escape
if drv wait-gone 10 >/dev/null; then pass "Escape closes the window"; else fail "Escape closes the window"; fi
expect_exit_zero "a normal close exits with code 0"
read -r left top right bottom _ <<<"$closing_rect"
saved="$(to_dec "$(reg_value "Remote Window Left")") $(to_dec "$(reg_value "Remote Window Top")") $(to_dec "$(reg_value "Remote Window Right")") $(to_dec "$(reg_value "Remote Window Bottom")")"
[ "$saved" = "$left $top $right $bottom" ] && pass "the four rectangle values are saved" ||
    fail "the four rectangle values are saved" "saved [$saved], window was [$left $top $right $bottom]"
addr=$(reg_value "IP Address")
[ "$addr" = "$BOX_A" ] && pass "the held address is saved, not the untried field text" ||
    fail "the held address is saved, not the untried field text" "IP Address = \"$addr\""
[ -z "$(reg_value "Popout Window Visible")" ] && pass "the popout flag is never written" ||
    fail "the popout flag is never written"

# --- run 2: a saved position without the popout flag is not applied ------------------------------
reg_set_dword "Remote Window Left" 200
reg_set_dword "Remote Window Top" 120
if start_program /min; then
    drv send-message 0x112 0xF120 0 >/dev/null  # SC_RESTORE
    out=$(drv wait-focus 1008 18 5) && pass "started minimised, the first restore puts the focus on OK" ||
        fail "started minimised, the first restore puts the focus on OK" "focus on id/row $out"
    out=$(drv get-text 1044)
    [ "$out" = "$BOX_A" ] && pass "second start shows the saved address" || fail "second start shows the saved address" "\"$out\""
    at_start=$(on_top)
    drv send-message 0x112 $IDM_ON_TOP 0 >/dev/null
    [ "$at_start / $(on_top) $(reg_value "Always On Top")" = "1 checked / 0 unchecked 0x0" ] &&
        pass "always on top applied at the next start; off again, saved 0" ||
        fail "always on top applied at the next start; off again, saved 0" "$at_start / $(on_top) $(reg_value "Always On Top")"
    [ "$(drv rect)" = "$template_rect" ] && pass "saved position ignored without \"Popout Window Visible\"" ||
        fail "saved position ignored without \"Popout Window Visible\"" "rect $(drv rect), template $template_rect"
    drv close >/dev/null
    expect_exit_zero "WM_CLOSE exits with code 0"
else
    fail "second start" "no main window within 30 s"
fi

# --- run 3: popout flag non-zero: moved and 266 x 545 --------------------------------------------
reg_set_dword "Remote Window Left" 200
reg_set_dword "Remote Window Top" 120
reg_set_dword "Popout Window Visible" 1
if start_program; then
    read -r l t r b w h _ <<<"$(drv rect)"
    [ "$l $t $w $h" = "200 120 266 545" ] && pass "popout flag 1: window at 200,120 and 266 x 545" ||
        fail "popout flag 1: window at 200,120 and 266 x 545" "rect $l $t $r $b (${w}x$h)"
    out=$(drv check-layout $BOX_A --popout) && pass "popout window holds the whole keypad" ||
        fail "popout window holds the whole keypad" "$(echo "$out" | head -5)"
    drv close >/dev/null
    expect_exit_zero "popout run exits with code 0"
else
    fail "popout start" "no main window within 30 s"
fi

# Saves a position and the popout flag, runs the program and checks its window's place and size.
expect_placement() {  # NAME LEFT TOP POPOUT "LEFT TOP WIDTH HEIGHT"
    local l t w h
    reg_set_dword "Remote Window Left" "$2"
    reg_set_dword "Remote Window Top" "$3"
    reg_set_dword "Popout Window Visible" "$4"
    if ! start_program; then
        fail "$1" "no main window within 30 s"
        return
    fi
    read -r l t _ _ w h _ <<<"$(drv rect)"
    [ "$l $t $w $h" = "$5" ] && pass "$1" || fail "$1" "at $l,$t ${w}x$h"
    drv close >/dev/null
    expect_exit_zero "$1: exits with code 0"
}

# --- run 4: popout flag zero: moved, template size kept -----------------------------------------
read -r _ _ _ _ template_w template_h _ <<<"$template_rect"
expect_placement "popout flag 0: window moved to 210,130, size kept (${template_w}x$template_h)" 210 130 0 \
    "210 130 $template_w $template_h"

# --- run 5: keyboard and media keys, held keys, the delivery sign, the key list -----------------
# The wide window, so that the free-text field can be clicked.
reg_set_text "IP Address" $BOX_A
reg_set_dword "Popout Window Visible" 1
wine reg add "$KEY" /v Favourites /t REG_MULTI_SZ /d 'Channel=1 0 /wait 800 OK\0Broken 1 2' /f >/dev/null 2>&1 </dev/null
app_command() { [ "$(drv send-message 0x319 0 $(($1 << 16)))" = "$2" ]; }  # COMMAND RESULT
if ! start_program; then
    fail "keyboard run start" "no main window within 30 s"
else
    # After a click on a button, each key sends exactly its key command, once; the focus stays.
    click 1022 && wait_lines a $(($(lines a) + 1))
    keys="Up:UP Down:DOWN Left:LEFT Right:RIGHT BackSpace:CANCEL Home:MENU Prior:PAGE_CHANNEL_UP
        Next:PAGE_CHANNEL_DOWN plus:VOLUME_UP minus:VOLUME_DOWN KP_Add:VOLUME_UP KP_Subtract:VOLUME_DOWN
        o:OK p:PLAY u:PLAYPAUSE s:STOP r:RECORD f:FORWARD v:REVERSE i:SELECT g:GUIDE m:MUTE z:ACCEPT"
    for d in 0 1 2 3 4 5 6 7 8 9; do keys="$keys $d:NUMBER$d KP_$d:NUMBER$d"; done
    for pair in $keys; do
        expect_sent_by "key ${pair%:*} sends press ${pair#*:}" a "xdotool key ${pair%:*}" "press ${pair#*:}"
    done
    [ "$(drv focus)" = "1022 4" ] && pass "the keys leave the focus on the clicked button" ||
        fail "the keys leave the focus on the clicked button" "focus on id/row $(drv focus)"

    # Keys typed in either text field edit the text and send nothing.
    before=$(lines a) before_b=$(lines b)
    click 1044 && drv wait-focus 1044 2 5 >/dev/null && xdotool key End type "+-09pomz"
    typed=$(drv get-text 1044)
    xdotool key BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace Home Prior Up
    click 1046 && drv wait-focus 1046 39 5 >/dev/null && xdotool type "Vol+ 5-3 pause" && xdotool key BackSpace Home Next
    typed="$typed|$(drv get-text 1044)|$(drv get-text 1046)"
    [ "$typed" = "$BOX_A+-09pomz|$BOX_A|Vol+ 5-3 paus" ] && pass "keys typed in the text fields edit them" ||
        fail "keys typed in the text fields edit them" "address, address after Backspace, free text: $typed"
    expect_nothing_sent "keys typed in the text fields send nothing" "$before" "$before_b"

    # Media and browser keys: the button's key command and TRUE; any other goes on by default.
    for pair in 10:VOLUME_UP 9:VOLUME_DOWN 8:MUTE 14:PLAYPAUSE 46:PLAY 47:PLAYPAUSE 13:STOP 48:RECORD \
        49:FORWARD 11:FORWARD 50:REVERSE 12:REVERSE 51:PAGE_CHANNEL_UP 52:PAGE_CHANNEL_DOWN 1:CANCEL 7:MENU; do
        expect_sent_by "WM_APPCOMMAND ${pair%:*} sends press ${pair#*:} and returns TRUE" a \
            "app_command ${pair%:*} 1" "press ${pair#*:}"
    done
    before=$(lines a) before_b=$(lines b)
    app_command 2 0 && app_command 5 0 && app_command 16 0 && pass "other WM_APPCOMMANDs return 0" ||
        fail "other WM_APPCOMMANDs return 0"
    expect_nothing_sent "other WM_APPCOMMANDs send nothing" "$before" "$before_b"
    click 1046 && drv wait-focus 1046 39 5 >/dev/null
    expect_sent_by "a real media key in the free-text field sends its key command" a \
        "xdotool key XF86AudioRaiseVolume" "press VOLUME_UP"

    # Held keys: the X server repeats a held key after 660 ms, 25 times a second, so 1.6 s bring
    # about 20 repeats. At a box that answers at once they go on; at one that never answers the
    # first command stays under way, the repeats are dropped, and only a fresh press goes after it.
    start_box $BOX_SILENT silent --mode silent || fail "held keys" "no silent box on $BOX_SILENT"
    click 1044 && drv wait-focus 1044 2 5 >/dev/null && xdotool key Tab && drv wait-focus 1001 3 5 >/dev/null
    before=$(lines a)
    xdotool keydown 8 sleep 1.6 keyup 8
    wait_lines a $((before + 2))
    sleep 0.3
    got=$(hex_after a "$before")
    [ "$(wc -w <<<"$got")" -ge 2 ] && [ "$(tr ' ' '\n' <<<"$got" | sort -u)" = "$(frame "press NUMBER8")" ] &&
        pass "a held key repeats while nothing is under way" ||
        fail "a held key repeats while nothing is under way" "box got [$got]"
    drv set-text 1044 $BOX_SILENT >/dev/null
    xdotool keydown 8 sleep 1.6 keyup 8 key 7
    for _ in $(seq 1 300); do [ "$(lines silent)" -ge 2 ] && break; sleep 0.05; done
    sleep 0.3
    got=$(hex_after silent 0)
    [ "$got" = "$(frame "press NUMBER8") $(frame "press NUMBER7")" ] &&
        pass "a key held at a silent box sends one command; a fresh press still goes" ||
        fail "a key held at a silent box sends one command; a fresh press still goes" "box got [$got]"
    out=$(drv wait-red 1043 no 0) && pass "a box that takes a command and answers nothing shows no sign" ||
        fail "a box that takes a command and answers nothing shows no sign" "red pixels: $out"

    # A key that reaches no box turns the address label red at once, with no box, the focus and
    # the window as they were; a delivered key clears it, and the window looks as before.
    drv set-text 1044 $BOX_A >/dev/null
    xdotool mousemove 1000 700 sleep 0.3
    shoot "$work/before-sign.png"
    drv set-text 1044 $NOBODY >/dev/null
    state="$(drv focus) $(drv rect)"
    xdotool key 5
    out=$(drv wait-red 1043 yes 10) && drv no-message-box >/dev/null && [ "$(drv focus) $(drv rect)" = "$state" ] &&
        pass "an undelivered key turns the address label red, no box, focus kept" ||
        fail "an undelivered key turns the address label red, no box, focus kept" \
            "red pixels $out; focus and window $(drv focus) $(drv rect), were $state"
    label=$(drv get-text 1043)
    xdotool mousemove --sync $(drv center 1043)
    tip=$(drv wait-tip 10)
    xdotool mousemove 1000 700
    [ "$label" = "Not sent" ] && [[ $tip == "Key NUMBER5 was not sent to $NOBODY: the box refused the connection."* ]] &&
        pass "the sign in words: \"Not sent\", and a tooltip with the key, the address and the reason" ||
        fail "the sign in words: \"Not sent\", and a tooltip with the key, the address and the reason" "[$label] [$tip]"
    names="$(drv acc-name 1044)/$(drv acc-name 1046)"
    xdotool key F1
    out=$(drv expect-message-box "Key NUMBER5 was not sent to $NOBODY: the box refused the connection."$'\r\n'"Ctrl+F finds the box." \
        "Not sent" 10) && [ "$names" = "Box address|/Text to send|" ] &&
        pass "the fields keep their accessible names while the sign shows; F1 explains the sign" ||
        fail "the fields keep their accessible names while the sign shows; F1 explains the sign" "[$names] $out"
    drv set-text 1044 $BOX_A >/dev/null
    expect_sent_by "a key after the sign goes to a box that listens" a "xdotool key 5" "press NUMBER5"
    out=$(drv wait-red 1043 no 10) && label=$(drv get-text 1043) && [ "$label" = "Halcyra IP" ] &&
        pass "a delivered key clears the sign: \"Halcyra IP\" again" ||
        fail "a delivered key clears the sign: \"Halcyra IP\" again" "red pixels: $out, label \"$label\""
    sleep 0.3  # the pressed look of 5 is over
    shoot "$work/after-sign.png"
    differ=$(compare -metric AE "$work/before-sign.png" "$work/after-sign.png" null: 2>&1)
    [ "$differ" -le 4 ] 2>/dev/null && pass "after the sign the window looks as before" ||
        fail "after the sign the window looks as before" "$differ pixels differ"
    drv set-text 1044 $NOBODY >/dev/null
    out=$(drv name-event 1043 1001 10) && [ "$out" = "Not sent" ] &&
        pass "a screen reader is told of the sign: the label's name changes" ||
        fail "a screen reader is told of the sign: the label's name changes" "$out"
    drv set-text 1044 $BOX_A >/dev/null
    expect_sent "a key at a box that listens clears the sign again" a 1001 "press POWER"

    # Held buttons: VOL UP held with the mouse repeats at a box that answers; a short click sends it
    # once; held at a box that never answers, the first command stays under way and the repeats and
    # the release send nothing more (a second command would end about 1.1 s after the first).
    hold_vol_up() { xdotool mousemove --sync $(drv center 1015) mousedown 1 sleep 1.6 mouseup 1; }
    before=$(lines a)
    hold_vol_up
    wait_lines a $((before + 2))
    sleep 0.3
    got=$(hex_after a "$before")
    [ "$(wc -w <<<"$got")" -ge 2 ] && [ "$(tr ' ' '\n' <<<"$got" | sort -u)" = "$(frame "press VOLUME_UP")" ] &&
        pass "VOL UP held with the mouse repeats" || fail "VOL UP held with the mouse repeats" "box got [$got]"
    expect_sent_by "a short click on VOL UP sends it once" a "click 1015" "press VOLUME_UP"
    drv set-text 1044 $BOX_SILENT >/dev/null
    before=$(lines silent)
    hold_vol_up
    for _ in $(seq 1 300); do [ "$(lines silent)" -gt "$before" ] && break; sleep 0.05; done
    sleep 2.5
    got=$(hex_after silent "$before")
    [ "$got" = "$(frame "press VOLUME_UP")" ] && pass "VOL UP held at a silent box sends one command" ||
        fail "VOL UP held at a silent box sends one command" "box got [$got]"

    # Keys for a box whose connection attempts hang, then the address of a box that answers: the
    # first box's keys hold back no repeat at the second, and their late failures neither light
    # the sign nor move the first box up "Recent Boxes".
    hang_box $BOX_HANG & hang_pid=$!
    sleep 0.5
    drv set-text 1044 $BOX_HANG >/dev/null && xdotool key 1 2 3
    drv set-text 1044 $BOX_A >/dev/null
    before=$(lines a)
    hold_vol_up
    wait_lines a $((before + 2))
    got=$(hex_after a "$before")
    sleep 5  # past the hanging box's connection bound
    out=$(drv wait-red 1043 no 0); quiet=$?
    [ "$(wc -w <<<"$got")" -ge 2 ] && [ $quiet = 0 ] && [ "$(reg_value "Recent Boxes" | cut -d' ' -f1)" = "$BOX_A" ] &&
        pass "a box that cannot be reached holds back nothing at the box in use, and its failures stay quiet" ||
        fail "a box that cannot be reached holds back nothing at the box in use, and its failures stay quiet" \
            "box got [$got]; red pixels $out; Recent Boxes [$(reg_value "Recent Boxes")]"
    kill $hang_pid 2>/dev/null; wait $hang_pid 2>/dev/null

    # Find box: Ctrl+F lists the boxes used before; a loopback range of this test's own is searched
    # with boxes on three of its addresses. Other ranges are refused without a connection.
    fb() { drv --in "Find box" "$@"; }
    for n in 20 77 200; do start_box 127.0.10.$n f$n || fail "Find box" "no box on 127.0.10.$n"; done
    click 1044 && drv wait-focus 1044 2 5 >/dev/null && xdotool key ctrl+f
    out=$(fb list 1204 | awk '{ printf "%s%s", sep, $1; sep = " " }')
    [ -n "$out" ] && [ "$out" = "$(reg_value "Recent Boxes")" ] && pass "Ctrl+F opens Find box with the recent boxes" ||
        fail "Ctrl+F opens Find box with the recent boxes" "listed [$out], saved [$(reg_value "Recent Boxes")]"
    before=$(lines a)
    fb set-text 1202 8.8.8.0/24 >/dev/null && fb command 1203 >/dev/null && out=$(fb get-text 1205)
    fb set-text 1202 127.0.0.0/16 >/dev/null && fb command 1203 >/dev/null && out="$out|$(fb get-text 1205)"
    sleep 0.5
    [ "${out%%:*}|${out#*|}" = "Only local networks are searched|At most 1,024 addresses are searched at once (a /22)." ] &&
        [ "$(lines a)" = "$before" ] && pass "a public and an over-large range are refused, nothing asked" ||
        fail "a public and an over-large range are refused, nothing asked" "$out; box a $(lines a) lines, had $before"
    fb set-text 1202 127.0.10.0/24 >/dev/null && fb command 1203 >/dev/null
    for _ in $(seq 1 150); do out=$(fb get-text 1205); [ "$out" = "256 of 256 tried, 3 found" ] && break; sleep 0.1; done
    got="$(fb list 1204 | tr '\n' ' ')|$(cut -f6 "$work/f20.log" "$work/f77.log" "$work/f200.log" | tr '\n' ' ')"
    [ "$out" = "256 of 256 tried, 3 found" ] && [ "$got" = "127.0.10.20 127.0.10.77 127.0.10.200 |bytes=0 bytes=0 bytes=0 " ] &&
        pass "a /24 search lists exactly the three boxes in order; each got one connection and no byte" ||
        fail "a /24 search lists exactly the three boxes in order; each got one connection and no byte" "$out; $got"
    xy=$(fb item-center 1204 1) && xdotool mousemove --sync $xy click --repeat 2 --delay 80 1
    for _ in $(seq 1 50); do drv no-message-box >/dev/null 2>&1 && break; sleep 0.1; done
    [ "$(drv get-text 1044)" = 127.0.10.77 ] && [ "$(lines f77)" = 1 ] && pass "a double-click fills the address field, sends nothing" ||
        fail "a double-click fills the address field, sends nothing" "field $(drv get-text 1044), box $(lines f77) lines"
    expect_sent "the next key reaches the chosen box" f77 1001 "press POWER"
    drv set-text 1044 $BOX_A >/dev/null
    click 1044 && drv wait-focus 1044 2 5 >/dev/null && xdotool key ctrl+f && fb list 1204 >/dev/null && xdotool key Return
    for _ in $(seq 1 50); do drv no-message-box >/dev/null 2>&1 && break; sleep 0.1; done
    [ "$(drv get-text 1044)" = 127.0.10.77 ] && pass "Ctrl+F, Enter: the most recent box" ||
        fail "Ctrl+F, Enter: the most recent box" "field $(drv get-text 1044)"
    drv set-text 1044 $BOX_A >/dev/null
    # Keyboard only: Alt+R selects the offered range and a loopback range is typed over it; Enter
    # may search only once the field holds it. The list then has the focus on the box found, Enter
    # uses it, and the next digit goes to that box.
    click 1044 && drv wait-focus 1044 2 5 >/dev/null && xdotool key ctrl+f && fb list 1204 >/dev/null
    out=$(for id in 1202 1203 1204 1 2; do fb acc-name $id; done | tr '\n' ' ')
    [ "$out" = "Range|Alt+R Search|Alt+S Boxes found| Use|Alt+U Close|Alt+C " ] &&
        pass "Find box: names and mnemonics as a screen reader reads them" ||
        fail "Find box: names and mnemonics as a screen reader reads them" "[$out]"
    xdotool key alt+r && fb wait-focus 1202 2 5 >/dev/null && xdotool type 127.0.10.64/26
    if [ "$(fb get-text 1202)" = 127.0.10.64/26 ]; then
        xdotool key Return
        fb wait-focus 1204 5 15 >/dev/null && xdotool key Return && drv wait-focus 1008 18 5 >/dev/null
        expect_sent_by "keyboard only: Alt+R, a range, Enter; Enter on the box found; the next digit reaches it" f77 \
            "xdotool key 3" "press NUMBER3"
    else
        fail "keyboard only: Alt+R, a range, Enter; Enter on the box found; the next digit reaches it" \
            "the range field holds [$(fb get-text 1202)]: not searched"
        fb command 2 >/dev/null
    fi
    drv set-text 1044 $BOX_A >/dev/null

    # Wake box: Ctrl+W for a box that takes no connection; a malformed hardware address sends
    # nothing, a good one goes three times to the box's port 9 (and to 127.255.255.255, which the
    # box's socket may be handed too) and is kept for the box, which the dialog and the sign offer.
    wb() { drv --in "Wake box" "$@"; }
    wake_listen $NOBODY "$work/wake.hex" || fail "Wake box" "no listener on $NOBODY port 9"
    drv set-text 1044 $NOBODY >/dev/null
    click 1044 && drv wait-focus 1044 2 5 >/dev/null && xdotool key ctrl+w
    out="$(wb get-text 1302)|"
    wb set-text 1302 00:1a:2b:3c:4d >/dev/null && out="$out$(wb name-event 1303 1 5)"
    sleep 0.5
    [ "$out" = "|Not a hardware address: type six pairs of hex digits with colons or dashes, as 00:1a:2b:3c:4d:5e. Nothing was sent." ] &&
        [ ! -s "$work/wake.hex" ] && pass "Wake box: a malformed hardware address is refused, nothing sent" ||
        fail "Wake box: a malformed hardware address is refused, nothing sent" "[$out] $(wc -l <"$work/wake.hex") datagrams"
    # The sends go on a worker: the status changes (and is announced) once they have gone.
    wb set-text 1302 02:1A:2b:3c:4d:5e >/dev/null && out=$(wb name-event 1303 1 5)
    for _ in $(seq 1 100); do [ "$(wc -l <"$work/wake.hex")" -ge 3 ] && break; sleep 0.05; done
    sleep 0.5  # any broadcast copies
    packet="ffffffffffff$(printf '021a2b3c4d5e%.0s' $(seq 16))"
    got=$(sort -u "$work/wake.hex") count=$(wc -l <"$work/wake.hex")
    [ "$out" = "Sent the wake packet for 02:1a:2b:3c:4d:5e to $NOBODY and 127.255.255.255, UDP port 9, 3 times." ] &&
        [ "$got" = "$packet" ] && { [ "$count" = 3 ] || [ "$count" = 6 ]; } &&
        [ "$(reg_value "Wake Addresses")" = "$NOBODY=02:1a:2b:3c:4d:5e" ] &&
        pass "Wake sends the 102-byte packet three times to port 9 and keeps the pair" ||
        fail "Wake sends the 102-byte packet three times to port 9 and keeps the pair" \
            "[$out] $count datagrams [$got]; Wake Addresses [$(reg_value "Wake Addresses")]"
    wb command 2 >/dev/null; sleep 0.3
    click 1044 && drv wait-focus 1044 2 5 >/dev/null && xdotool key ctrl+w
    out=$(wb get-text 1302); wb command 2 >/dev/null; sleep 0.3
    click 1022  # the focus is in the address field, where a digit key would type
    drv wait-red 1043 yes 10 >/dev/null
    xdotool mousemove --sync $(drv center 1043)
    tip=$(drv wait-tip 10)
    xdotool mousemove 1000 700
    [ "$out" = 02:1a:2b:3c:4d:5e ] && [[ $tip == *"Wake box (Ctrl+W) may switch it on."* ]] &&
        pass "the kept address fills Wake box, and the sign offers it for a box that takes no connection" ||
        fail "the kept address fills Wake box, and the sign offers it for a box that takes no connection" "[$out] [$tip]"
    # Wake box for the keyboard and a screen reader; hardware addresses as ipconfig prints them
    # (dashes, capitals, spaces around) sent and kept in the colon form; a broadcast one refused.
    click 1044 && drv wait-focus 1044 2 5 >/dev/null && xdotool key ctrl+w
    out=$(for id in 1302 1 2; do wb acc-name $id; done | tr '\n' ' ')
    [ "$out" = "Hardware address|Alt+H Wake|Alt+W Close|Alt+C " ] &&
        pass "Wake box: names and mnemonics as a screen reader reads them" ||
        fail "Wake box: names and mnemonics as a screen reader reads them" "[$out]"
    : >"$work/wake.hex"
    wb set-text 1302 "ff-ff-ff-ff-ff-ff" >/dev/null && out=$(wb name-event 1303 1 5)
    sleep 0.5
    [[ $out == "Refused: a broadcast or multicast hardware address"*"Nothing was sent." ]] && [ ! -s "$work/wake.hex" ] &&
        pass "Wake box: a broadcast hardware address is refused with the reason, nothing sent" ||
        fail "Wake box: a broadcast hardware address is refused with the reason, nothing sent" "[$out] $(wc -l <"$work/wake.hex") datagrams"
    # Its longest messages: that refusal, a malformed address, a partial failure to the longest
    # addresses.
    inside=$(wb inside) &&
        wb set-text 1303 "Not a hardware address: type six pairs of hex digits with colons or dashes, as 00:1a:2b:3c:4d:5e. Nothing was sent." >/dev/null &&
        inside="$inside $(wb inside)" &&
        wb set-text 1303 "Some sends failed: wake packet for 02:1a:2b:3c:4d:5e, 3 of 3 to 127.255.255.254, 0 of 3 to 127.255.255.255." >/dev/null &&
        inside="$inside $(wb inside)" && pass "Wake box holds its longest messages whole" ||
        fail "Wake box holds its longest messages whole" "$inside"
    wb set-text 1302 " 02-1A-2B-3C-4D-60 " >/dev/null && out=$(wb name-event 1303 1 5)
    for _ in $(seq 1 100); do [ "$(wc -l <"$work/wake.hex")" -ge 3 ] && break; sleep 0.05; done
    got=$(sort -u "$work/wake.hex")
    [ "$out" = "Sent the wake packet for 02:1a:2b:3c:4d:60 to $NOBODY and 127.255.255.255, UDP port 9, 3 times." ] &&
        [ "$got" = "ffffffffffff$(printf '021a2b3c4d60%.0s' $(seq 16))" ] &&
        [ "$(reg_value "Wake Addresses")" = "$NOBODY=02:1a:2b:3c:4d:60" ] &&
        pass "Wake box takes a hardware address with dashes, capitals and spaces, and keeps it with colons" ||
        fail "Wake box takes a hardware address with dashes, capitals and spaces, and keeps it with colons" \
            "[$out] [$got]; Wake Addresses [$(reg_value "Wake Addresses")]"
    # Closed (Escape) while its sends are under way (they take 200 ms): the window goes on.
    wb post-command 1 >/dev/null && xdotool key Escape
    sleep 1
    [ "$(drv get-text 1044)" = $NOBODY ] &&
        pass "Wake box closed while it sends: the window goes on" ||
        fail "Wake box closed while it sends: the window goes on" "address field [$(drv get-text 1044)]"
    # Enter held in a text field follows the held-key rule: with a command open at a silent box,
    # the first Enter's free-text line goes behind it and the repeats are dropped.
    drv set-text 1044 $BOX_SILENT >/dev/null && drv set-text 1046 "held enter" >/dev/null
    before=$(lines silent)
    click 1022 && wait_lines silent $((before + 1))
    click 1044 && drv wait-focus 1044 2 5 >/dev/null && xdotool keydown Return sleep 1.6 keyup Return
    for _ in $(seq 1 100); do [ "$(lines silent)" -ge $((before + 2)) ] && break; sleep 0.05; done
    sleep 1
    got=$(hex_after silent "$before")
    [ "$got" = "$(frame "press NUMBER1") $(frame "held enter")" ] &&
        pass "Enter held in a text field sends one line while a command is under way" ||
        fail "Enter held in a text field sends one line while a command is under way" "box got [$got]"
    drv set-text 1046 "" >/dev/null
    drv set-text 1044 $BOX_A >/dev/null
    # Ctrl+1: the first favourite's keys in order, the third not before the pause after the second
    # has passed (the box's times: the third's accept against the second's end).
    click 1022 && wait_lines a $(($(lines a) + 1))
    before=$(lines a)
    expect_sent_by "Ctrl+1 sends the first favourite's keys in order" a "xdotool key ctrl+1" \
        "press NUMBER1" "press NUMBER0" "press OK"
    gap=$(awk -F'\t' -v skip="$before" 'NR > skip {
        for (i = 1; i <= NF; i++) { split($i, kv, "="); f[kv[1]] = kv[2] }
        end_ms[f["conn"]] = f["t_ms"]; start_ms[f["conn"]] = f["t_ms"] - f["dur_ms"]; if (f["conn"] > last) last = f["conn"] }
        END { print start_ms[last] - end_ms[last - 1] }' "$work/a.log")
    [ "${gap:-0}" -ge 700 ] && pass "the favourite's /wait 800 holds OK back after the key before it" ||
        fail "the favourite's /wait 800 holds OK back after the key before it" "gap ${gap} ms"
    # The submenu's first item, as Wine sends a system submenu's choice (WM_COMMAND).
    expect_sent "the Favourites submenu's first item sends its keys" a $((0xB00)) "press NUMBER1" "press NUMBER0" "press OK"

    # The key list, from the system menu: Alt+Space, then K.
    xdotool key alt+space sleep 0.3 key k
    out=$(drv expect-message-box "*" "Keyboard keys" 10) && pass "the system menu shows the key list" ||
        fail "the system menu shows the key list" "$out"
    drv close >/dev/null
    expect_exit_zero "keyboard run exits with code 0"
fi

# --- run 5b: favourites off their main path: a wake step, the box changed, a key not sent -------
FAV_LATE=127.0.0.113  # refuses connections until a favourite's pause, then a box listens there
reg_set_text "IP Address" $BOX_A
wine reg add "$KEY" /v Favourites /t REG_MULTI_SZ \
    /d 'Wake=POWER /wake 02:1a:2b:3c:4d:5e OK\0Pause=1 /wait 1500 2\0Refused=1 /wait 1500 2 OK' /f >/dev/null 2>&1 </dev/null
if ! start_program; then
    fail "favourites run start" "no main window within 30 s"
else
    # First, while no other favourite runs: a favourite stops at its first key not sent; a box
    # that answers by the end of its pause gets nothing of it (a POWER sent after the pause is the
    # only connection), and the sign says which favourite stopped.
    drv set-text 1044 $FAV_LATE >/dev/null && drv command $((0xB20)) >/dev/null
    drv wait-red 1043 yes 10 >/dev/null  # the first key refused: then, in the pause, a box listens
    start_box $FAV_LATE late || fail "a favourite stops at its first key not sent" "no box on $FAV_LATE"
    xdotool mousemove --sync $(drv center 1043)
    tip=$(drv wait-tip 10)
    xdotool mousemove 1000 700
    sleep 2.5  # past the pause and the keys that would follow it
    drv command 1001 >/dev/null && wait_lines late 1
    sleep 0.3
    got=$(hex_after late 0)
    [ "$got" = "$(frame "press POWER")" ] && [[ $tip == *'Favourite "Refused" stopped after 0 of its 3 keys: Key NUMBER1 was not sent to '$FAV_LATE* ]] &&
        pass "a favourite stops at its first key not sent, and the sign says which and after how many" ||
        fail "a favourite stops at its first key not sent, and the sign says which and after how many" "box got [$got]; sign [$tip]"
    drv set-text 1044 $BOX_A >/dev/null
    # A wake step is sent off the window's thread: the window answers while and after it runs,
    # and the key after it follows.
    wake_listen $BOX_A "$work/fav-wake.hex" || fail "a favourite's wake step" "no listener on $BOX_A"
    before=$(lines a)
    out=$(drv post-command $((0xB00)) && drv answers 2000 && wait_lines a $((before + 2)) && drv answers 2000)
    answered=$?
    got=$(hex_after a "$before")
    count=$(wc -l <"$work/fav-wake.hex" 2>/dev/null)
    [ $answered = 0 ] && [ "$got" = "$(frame "press POWER") $(frame "press OK")" ] && [ "${count:-0}" -ge 3 ] &&
        pass "a favourite's wake step: the window answers within 2 s, the packet goes, the key after it follows" ||
        fail "a favourite's wake step: the window answers within 2 s, the packet goes, the key after it follows" \
            "[$out] box a got [$got], $count datagrams"
    # The box is the one in use when the favourite is chosen: a change of the field during its
    # pause sends nothing of it to the other box.
    before=$(lines a) before_b=$(lines b)
    drv command $((0xB10)) >/dev/null && drv set-text 1044 $BOX_B >/dev/null
    wait_lines a $((before + 2))
    sleep 0.3  # room for a key too many to show up
    got=$(hex_after a "$before")
    [ "$got" = "$(frame "press NUMBER1") $(frame "press NUMBER2")" ] && [ "$(lines b)" -eq "$before_b" ] &&
        pass "a favourite's keys all go to the box chosen, whatever the field holds after" ||
        fail "a favourite's keys all go to the box chosen, whatever the field holds after" \
            "box a got [$got], box b has $(lines b) lines, had $before_b"
    # Edit favourites, from the system menu, by the keyboard: Enter in the Keys field of the
    # selected entry changes it (no second "Pause"); after Delete the fields show the entry now
    # selected, so that Change cannot put the deleted one's text over it.
    fv() { drv --in "Edit favourites" "$@"; }
    click 1044 && drv wait-focus 1044 2 5 >/dev/null && xdotool key alt+space sleep 0.3 key v sleep 0.3 key e
    fv wait-focus 1401 0 5 >/dev/null && xdotool key Down && fv set-text 1405 "1 2" >/dev/null &&
        xdotool key alt+k && fv wait-focus 1405 0 5 >/dev/null && xdotool key Return
    sleep 0.3
    out=$(reg_value Favourites) && xdotool key alt+d && sleep 0.3
    out="$out|$(fv get-text 1403)=$(fv get-text 1405)|$(reg_value Favourites)"
    [ "$out" = 'Wake=POWER /wake 02:1a:2b:3c:4d:5e OK\0Pause=1 2\0Refused=1 /wait 1500 2 OK|Refused=1 /wait 1500 2 OK|Wake=POWER /wake 02:1a:2b:3c:4d:5e OK\0Refused=1 /wait 1500 2 OK' ] &&
        pass "Edit favourites: Enter changes the selected entry; after Delete the fields show the one in its place" ||
        fail "Edit favourites: Enter changes the selected entry; after Delete the fields show the one in its place" "[$out]"
    fv command 2 >/dev/null
    drv close >/dev/null
    expect_exit_zero "favourites run exits with code 0"
fi

# --- run 6: one remote per user, and keys that work while another program is in front -----------
# A second start brings the first window forward and ends with 0, the settings untouched. With
# "Keys Anywhere" on, the keys reach the box while another Wine program holds the focus, the
# remote minimised or not; a key that program holds first is named and left out. Each step that
# must send nothing ends with a press of the other program's own hot key, which comes after the
# keys before it.
BOX_ANYWHERE=127.0.0.170
BOX_ANYWHERE_SILENT=127.0.0.171  # takes every command and never answers
IDM_KEYS_ANYWHERE=0xAA0
CAS_UP="7 0x26"  # MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_UP
front_no=0
hold_front() {  # [MODS VK]: another program in front for at most 60 s; its "hotkey" line in front_hotkey
    front_no=$((front_no + 1))
    front_log=$work/front-$front_no.log
    wine "$driver" hold-front 60 "$@" >"$front_log" 2>>"$work/wine.log" </dev/null &
    front_pid=$!
    for _ in $(seq 1 200); do grep -q '^front' "$front_log" 2>/dev/null && break; sleep 0.05; done
    front_hotkey=$(tr -d '\r' <"$front_log" | grep '^hotkey')
    tr -d '\r' <"$front_log" | grep -q '^front 1'
}
end_front() { kill "$front_pid" 2>/dev/null; wait "$front_pid" 2>/dev/null; }
# Ctrl+Alt+Shift+Up to the program in front that holds it: its COUNTth press has arrived.
front_marker() {  # COUNT
    xdotool key ctrl+alt+shift+Up
    for _ in $(seq 1 200); do [ "$(grep -c '^pressed' "$front_log")" -ge "$1" ] && return 0; sleep 0.05; done
    return 1
}
# The keys that would reach the box, then the marker: the box got nothing before the marker came.
expect_keys_send_nothing() {  # NAME MARKER_COUNT
    local before
    before=$(lines anywhere)
    xdotool key XF86AudioRaiseVolume ctrl+alt+shift+Down ctrl+alt+shift+2
    if front_marker "$2" && [ "$(lines anywhere)" = "$before" ]; then pass "$1"; else
        fail "$1" "box got [$(hex_after anywhere "$before")], marker $(grep -c '^pressed' "$front_log") of $2"; fi
}
start_box $BOX_ANYWHERE anywhere || fail "keys anywhere" "no box on $BOX_ANYWHERE"
reg_set_text "IP Address" $BOX_ANYWHERE
reg_set_dword "Popout Window Visible" 0
reg_set_text "Keys Anywhere" 1  # a value of another type: off
if ! start_program /min; then
    fail "one remote: first start" "no main window within 30 s"
else
    settings=$(wine reg query "$KEY" 2>&1 </dev/null)
    timeout 60 wine "$exe" >"$work/second-start.log" 2>&1 </dev/null
    rc=$?
    out="$rc $(drv instances)"
    [ "$out" = "0 1 0 1" ] && [ "$(wine reg query "$KEY" 2>&1 </dev/null)" = "$settings" ] &&
        pass "a second start: the first window restored and in front, one window, exit 0, settings unchanged" ||
        fail "a second start: the first window restored and in front, one window, exit 0, settings unchanged" \
            "exit code, windows, minimised, in front: $out"
    hold_front $CAS_UP
    out="$front_hotkey $(drv menu-state $IDM_KEYS_ANYWHERE) $(drv instances)"
    [ "$out" = "hotkey OK unchecked 1 0 0" ] && pass "\"Keys Anywhere\" of another type is off: nothing registered" ||
        fail "\"Keys Anywhere\" of another type is off: nothing registered" "$out"
    expect_keys_send_nothing "setting off: keys pressed in another program send nothing" 1
    drv send-message 0x112 $IDM_KEYS_ANYWHERE 0 >/dev/null
    { drv send-message 0x112 0xA80 0 >/dev/null & } 2>/dev/null  # "Why was it not sent?": a modal box
    out="$(drv menu-state $IDM_KEYS_ANYWHERE) $(reg_value "Keys Anywhere") $(drv get-text 1043)|$(drv expect-message-box \
        "Ctrl+Alt+Shift+Up is taken by another program." "Not sent" 10)"
    [ "$out" = "checked 0x1 Not sent|message box \"Ctrl+Alt+Shift+Up is taken by another program.\" / \"Not sent\" shown and closed" ] &&
        pass "turned on, saved 1; the key another program holds is named in the sign" ||
        fail "turned on, saved 1; the key another program holds is named in the sign" "$out"
    front_marker 2 &&
        expect_sent_by "the taken key is left out; Ctrl+Alt+Shift+Down in another program sends press DOWN" anywhere \
            "xdotool key ctrl+alt+shift+Down" "press DOWN" ||
        fail "the taken key is left out; Ctrl+Alt+Shift+Down in another program sends press DOWN" "no marker"
    end_front
    # Off and on again with nothing taken; minimised, the keys still reach the box.
    drv send-message 0x112 $IDM_KEYS_ANYWHERE 0 >/dev/null
    drv send-message 0x112 $IDM_KEYS_ANYWHERE 0 >/dev/null
    in_front() { drv send-message 0x8021 0 0 >/dev/null && [ "$(drv instances)" = "1 0 1" ]; }  # as a second start does
    expect_sent_by "in front, the volume-up media key sends press VOLUME_UP once" anywhere \
        "in_front && xdotool key XF86AudioRaiseVolume" "press VOLUME_UP"
    drv send-message 0x112 0xF020 0 >/dev/null  # SC_MINIMIZE
    hold_front || fail "keys anywhere" "the other program did not come to the front"
    expect_sent_by "minimised, Ctrl+Alt+Shift+Up in another program sends press UP" anywhere \
        "xdotool key ctrl+alt+shift+Up" "press UP"
    expect_sent_by "minimised, the volume-up media key in another program sends press VOLUME_UP" anywhere \
        "xdotool key XF86AudioRaiseVolume" "press VOLUME_UP"
    before=$(lines anywhere)
    xdotool keydown ctrl+alt+shift+8 sleep 1.6 keyup ctrl+alt+shift+8
    wait_lines anywhere $((before + 2))
    sleep 0.3
    got=$(hex_after anywhere "$before")
    [ "$(wc -w <<<"$got")" -ge 2 ] && [ "$(tr ' ' '\n' <<<"$got" | sort -u)" = "$(frame "press NUMBER8")" ] &&
        pass "Ctrl+Alt+Shift+8 held in another program repeats" || fail "Ctrl+Alt+Shift+8 held in another program repeats" "box got [$got]"
    start_box $BOX_ANYWHERE_SILENT anywhere-silent --mode silent || fail "keys anywhere" "no box on $BOX_ANYWHERE_SILENT"
    drv set-text 1044 $BOX_ANYWHERE_SILENT >/dev/null
    xdotool keydown ctrl+alt+shift+8 sleep 1.6 keyup ctrl+alt+shift+8 key ctrl+alt+shift+7
    for _ in $(seq 1 300); do [ "$(lines anywhere-silent)" -ge 2 ] && break; sleep 0.05; done
    sleep 0.3
    got=$(hex_after anywhere-silent 0)
    drv set-text 1044 $BOX_ANYWHERE >/dev/null
    [ "$got" = "$(frame "press NUMBER8") $(frame "press NUMBER7")" ] &&
        pass "Ctrl+Alt+Shift+8 held at a silent box sends one command; a fresh press still goes" ||
        fail "Ctrl+Alt+Shift+8 held at a silent box sends one command; a fresh press still goes" "box got [$got]"
    end_front
    { drv send-message 0x112 0xA10 0 >/dev/null & } 2>/dev/null  # the key list
    out=$(drv expect-message-box "*" "Keyboard keys" 10)
    echo "key list with the keys anywhere on: $out"
    [[ $out == *"In other programs too: Volume Up (VOL UP), "*", Ctrl+Alt+Shift+9 (9)."* ]] &&
        pass "the key list shows the keys that work in other programs" ||
        fail "the key list shows the keys that work in other programs" "$out"
    # Off: every key given back, so that another program may hold it.
    drv send-message 0x112 $IDM_KEYS_ANYWHERE 0 >/dev/null
    hold_front $CAS_UP
    out="$front_hotkey $(reg_value "Keys Anywhere")"
    [ "$out" = "hotkey OK 0x0" ] && pass "turned off, saved 0: the keys are given back" ||
        fail "turned off, saved 0: the keys are given back" "$out"
    expect_keys_send_nothing "turned off: keys pressed in another program send nothing" 1
    end_front
    drv close >/dev/null
    expect_exit_zero "the keys-anywhere run exits with code 0"
fi
reg_set_dword "Keys Anywhere" 0

# --- display scale: a prefix of its own at 144 dpi ---------------------------------------------------
# Wine takes the dpi from "LogPixels" in the user's desktop settings and the current hardware
# profile's fonts. The window is then about 800 pixels high, so this display is larger.
wine_session_stop
HALCYRA_SCREEN=1280x1024x24 wine_session_start "$build/e2e-prefix-144-$wine_kind"
for key in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
    wine reg add "$key" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1 </dev/null
done
prepare_prefix no
# Wine's services read the dpi when they start: started again, they and the program see one scale.
wine_session_restart
start_desktop
reg_delete_key
if start_program; then
    out=$(drv check-layout 0.0.0.0 --dpi 144) && pass "144 dpi: rectangles 1.5 times, font 18 px, the whole keypad in the client" ||
        fail "144 dpi: rectangles 1.5 times, font 18 px, the whole keypad in the client" "$(echo "$out" | head -8)"
    shoot "$work/screenshot-144dpi.png" && echo "screenshot at 144 dpi: $work/screenshot-144dpi.png"
    # Find box at this scale, showing its longest message (a public range is refused unasked).
    click 1044 && drv wait-focus 1044 2 5 >/dev/null && xdotool key ctrl+f
    drv --in "Find box" set-text 1202 8.8.8.0/24 >/dev/null && drv --in "Find box" command 1203 >/dev/null
    out=$(drv --in "Find box" inside) && pass "144 dpi: Find box holds every control and its longest message whole" ||
        fail "144 dpi: Find box holds every control and its longest message whole" "$out"
    drv --in "Find box" command 2 >/dev/null
    out=$(drv dpi-change 120 144) && out=$(drv dpi-change 96 120) &&
        pass "WM_DPICHANGED to 120, then 96 dpi: window, rectangles and font follow; old fonts deleted" ||
        fail "WM_DPICHANGED to 120, then 96 dpi: window, rectangles and font follow; old fonts deleted" "$(echo "$out" | head -8)"
    drv close >/dev/null
    expect_exit_zero "the 144-dpi run exits with code 0"
else
    fail "start at 144 dpi" "no main window within 30 s"
fi
# The saved position stays in screen pixels; the wide window's size is scaled.
expect_placement "144 dpi, popout flag 1: window at 200,120 and 399 x 818" 200 120 1 "200 120 399 818"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
