#!/usr/bin/env bash
# The box that moves, end to end with a real neighbour table: the remote under Wine in this
# network namespace, the stand-in box in a second one of this script's own, the two joined by a
# veth pair addressed in 127.0.0.0/8 (route_localnet), with no other way out of either. A key
# reaches the box and its hardware address is learned; the box takes another address of its /24;
# the next key fails, the address field follows the box, the next key reaches it there, and the
# key that failed never does. Then the box answers with another hardware address, or two
# addresses answer with its own: nothing is followed, and the sign says what was looked for and
# found. An address never reached is not looked for.
# The sender's /follow finds the box too, and saves nothing.
# Usage: run_follow_e2e.sh PROGRAM.exe DRIVER.exe STANDIN_BOX SENDER.exe, in a network namespace of its own
# (CTest starts it under unshare -n). Prints one line per check and "N passed, M failed".
set -u
if [ $# -ne 4 ]; then
    echo "usage: $0 PROGRAM.exe DRIVER.exe STANDIN_BOX SENDER.exe" >&2
    exit 2
fi
exe=$(readlink -f "$1")
driver=$(readlink -f "$2")
standin=$(readlink -f "$3")
sender=$(readlink -f "$4")
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(dirname "$driver")
wine_kind=wine${HALCYRA_WINE:-8}
work=$build/e2e-follow-work-$wine_kind

# The routes below are changed only in a namespace that is this run's alone: not the system's,
# and holding nothing but its loopback.
if [ "$(readlink /proc/self/ns/net)" = "$(readlink /proc/1/ns/net)" ] ||
    [ "$(ip -o link show | grep -vc ': lo:')" != 0 ]; then
    echo "e2e_follow skipped: not in a fresh network namespace of its own (run it under unshare -n)"
    exit 0
fi
command -v xdotool >/dev/null || { echo "e2e_follow: xdotool is missing (bash tools/setup.sh)"; exit 1; }

OLD=127.0.1.20     # the box's address at first
NEW=127.0.1.21     # where it goes: the same /24
THIRD=127.0.1.23   # where it goes for the sender
OTHER=127.0.1.22   # where another box answers, with another hardware address
UNREACHED=127.0.1.30  # typed, never reached: nothing answers there
SELF=127.0.1.1     # this namespace's end of the pair
BOX_MAC=02:1a:2b:3c:4d:5e
OTHER_MAC=02:99:88:77:66:55
holder=
exe_pid=
passed=0
failed=0
pass() { echo "PASS $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1${2:+: $2}"; failed=$((failed + 1)); }

rm -rf "$work"
mkdir -p "$work"
source "$root/tools/wine.sh"
source "$here/helpers.sh"

cleanup() {
    [ -n "$exe_pid" ] && kill "$exe_pid" 2>/dev/null
    stop_boxes
    wine_session_stop
    [ -n "$holder" ] && kill "$holder" 2>/dev/null  # the second namespace goes with it, and the pair
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- the two namespaces ---------------------------------------------------------------------------
# 127.0.0.0/8 is all local on lo; only 127.0.0.1 stays so, and the pair's /24 goes by the veth.
# IPv6 is off on both ends, so that nothing but ARP and 127.0.0.0/8 ever crosses the pair.
only_loopback_local() {
    ip link set lo up
    sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1 \
        net.ipv4.conf.all.route_localnet=1 net.ipv4.conf.default.route_localnet=1
    ip route del local 127.0.0.0/8 dev lo table local 2>/dev/null
    ip route replace local 127.0.0.1 dev lo table local
}
there() { nsenter -t "$holder" -n "$@"; }
unshare -n sleep 3600 &
holder=$!
for _ in $(seq 1 50); do [ "$(readlink /proc/$holder/ns/net)" != "$(readlink /proc/self/ns/net)" ] && break; sleep 0.05; done
only_loopback_local
there bash -c "$(declare -f only_loopback_local); only_loopback_local"
ip link add fr0 type veth peer name fb0 netns "$holder" || { echo "e2e_follow: no veth pair"; exit 1; }
ip addr add $SELF/24 dev fr0 && ip link set fr0 up
there ip link set fb0 address $BOX_MAC
there ip addr add $OLD/24 dev fb0
there ip link set fb0 up
links="$(ip -o link show | awk -F': ' '{sub(/@.*/, "", $2); print $2}' | tr '\n' ' ')|$(there ip -o link show | awk -F': ' '{sub(/@.*/, "", $2); print $2}' | tr '\n' ' ')"
routes="$(ip route show | awk '{print $1, $2, $3}' | tr '\n' ' ')|$(there ip route show | awk '{print $1, $2, $3}' | tr '\n' ' ')"
[ "$links|$routes" = "lo fr0 |lo fb0 |127.0.1.0/24 dev fr0 |127.0.1.0/24 dev fb0 " ] &&
    pass "two namespaces of the run's own: only lo and the veth pair, only 127.0.1.0/24 routed" ||
    fail "two namespaces of the run's own: only lo and the veth pair, only 127.0.1.0/24 routed" "[$links] [$routes]"

# The stand-in box runs in the second namespace; start_box starts "$box".
box_there() { exec nsenter -t "$holder" -n "$standin" "$@"; }
box=box_there

wine_session_start "$build/e2e-follow-prefix-$wine_kind"
prepare_prefix no
start_desktop
reg_delete_key
reg_set_text "IP Address" $OLD
frame() { printf '%s\r\n\0' "$1" | od -An -v -tx1 | tr -d ' \n'; }
# The bytes of each connection that carried any, in the order logged (the search's carry none).
got_hex() { grep -o 'hex=[0-9a-f]\+' "$work/$1.log" 2>/dev/null | sed 's/^hex=//' | tr '\n' ' '; }  # NAME
# F1's message box on the sign, once its text holds TEXT (30 tries), or the last one shown.
explanation_with() {  # TEXT
    local shown=
    click 1044 && drv wait-focus 1044 2 5 >/dev/null  # F1 where the keys go
    for _ in $(seq 1 30); do
        xdotool key F1
        shown=$(drv expect-message-box "*" "Not sent" 10)
        [[ $shown == *"$1"* ]] && break
        sleep 0.5
    done
    echo "$shown"
}

start_box $OLD old || { echo "e2e_follow: the stand-in box did not start at $OLD"; exit 1; }
wine "$exe" >"$work/program.log" 2>&1 </dev/null &
exe_pid=$!
drv wait-window 30 >/dev/null || { fail "start" "no main window within 30 s"; exit 1; }

# 1. A key reaches the box, and its hardware address is learned from the table.
drv command 1001 >/dev/null && wait_lines old 1
for _ in $(seq 1 100); do [ "$(reg_value "Wake Addresses")" = "$OLD=$BOX_MAC" ] && break; sleep 0.1; done
[ "$(got_hex old)" = "$(frame "press POWER") " ] && [ "$(reg_value "Wake Addresses")" = "$OLD=$BOX_MAC" ] &&
    pass "a key reaches the box at $OLD and its hardware address is learned from the neighbour table" ||
    fail "a key reaches the box at $OLD and its hardware address is learned from the neighbour table" \
        "box got [$(got_hex old)]; Wake Addresses [$(reg_value "Wake Addresses")]; $(cat /proc/net/arp | tr '\n' ' ')"

# 2. The box takes another address of its /24.
stop_boxes
there ip addr del $OLD/24 dev fb0
there ip addr add $NEW/24 dev fb0
start_box $NEW new || { echo "e2e_follow: the stand-in box did not start at $NEW"; exit 1; }

# 3. The next key fails at the old address; the field follows the box.
started=$(date +%s%N)
drv command 1005 >/dev/null
for _ in $(seq 1 300); do [ "$(drv get-text 1044)" = $NEW ] && break; sleep 0.1; done
followed=$(date +%s%N)
field=$(drv get-text 1044) label=$(drv get-text 1043)
[ "$field|$label" = "$NEW|Moved" ] &&
    echo "followed: the field showed $NEW $(((followed - started) / 1000000)) ms after the key that failed"
xdotool mousemove --sync $(drv center 1043)
tip=$(drv wait-tip 10)
xdotool mousemove 1000 700
[ "$field|$label" = "$NEW|Moved" ] && [[ $tip == "The box is now at $NEW."*"at $OLD;"*"Key STOP was not sent: press it again." ]] &&
    pass "the key fails at $OLD; the field shows $NEW and the sign says where the box is now" ||
    fail "the key fails at $OLD; the field shows $NEW and the sign says where the box is now" "[$field] [$label] [$tip]"
recent=$(reg_value "Recent Boxes")
[ "$(reg_value "IP Address")|${recent%% *}|$(reg_value "Wake Addresses")" = "$NEW|$NEW|$NEW=$BOX_MAC" ] &&
    [[ " $recent " != *" $OLD "* ]] &&
    pass "the saved address, Recent Boxes and Wake Addresses follow the box" ||
    fail "the saved address, Recent Boxes and Wake Addresses follow the box" \
        "[$(reg_value "IP Address")] [$recent] [$(reg_value "Wake Addresses")]"

# 4. The next key reaches the box there; the key that failed never does.
drv command 1001 >/dev/null && wait_lines new 2  # the search's connection, then the key
sleep 0.5  # room for a connection too many
[ "$(got_hex new)" = "$(frame "press POWER") " ] && [ "$(lines new)" = 2 ] && [ "$(drv get-text 1043)" = "Halcyra IP" ] &&
    pass "the next key reaches the box at $NEW, the sign clears, and the key that failed was never sent" ||
    fail "the next key reaches the box at $NEW, the sign clears, and the key that failed was never sent" \
        "box at $NEW got [$(got_hex new)] in $(lines new) connections; label [$(drv get-text 1043)]"

# 5. The box moves again; the sender with /follow finds it, prints where, saves nothing, exits 3.
stop_boxes
there ip addr del $NEW/24 dev fb0
there ip addr add $THIRD/24 dev fb0
start_box $THIRD third || { echo "e2e_follow: the stand-in box did not start at $THIRD"; exit 1; }
saved="$(reg_value "IP Address")|$(reg_value "Recent Boxes")|$(reg_value "Wake Addresses")"
out=$(wine "$sender" /follow $NEW STOP 2>"$work/sender.err" </dev/null | tr -d '\r'; echo "rc=${PIPESTATUS[0]}")
[ "$out" = "the box moved: not sent, found at $THIRD"$'\n'"rc=3" ] && [ "$(lines third)|$(got_hex third)" = "1|" ] &&
    [ "$(reg_value "IP Address")|$(reg_value "Recent Boxes")|$(reg_value "Wake Addresses")" = "$saved" ] &&
    pass "HalcyraSend /follow: not sent, found at $THIRD, exit 3; nothing saved, nothing sent there" ||
    fail "HalcyraSend /follow: not sent, found at $THIRD, exit 3; nothing saved, nothing sent there" \
        "[$out] [$(tr -d '\r' <"$work/sender.err")]; box at $THIRD: $(lines third) connections [$(got_hex third)]"

# 6. The box goes; another box with another hardware address answers in the /24: nothing is
# followed, the sign keeps its reason and says what was looked for and found.
stop_boxes
there ip addr del $THIRD/24 dev fb0
there ip link set fb0 address $OTHER_MAC
there ip addr add $OTHER/24 dev fb0
start_box $OTHER other || { echo "e2e_follow: the stand-in box did not start at $OTHER"; exit 1; }
drv command 1005 >/dev/null
wait_lines other 1  # the search has reached the other box
out=$(explanation_with "Looked for")
field=$(drv get-text 1044) label=$(drv get-text 1043)
[ "$field|$label|$(lines other)" = "$NEW|Not sent|1" ] &&
    [[ $out == *"Key STOP was not sent to $NEW: "*"Looked for the box's hardware address $BOX_MAC in 127.0.1.0/24: 1 addresses answered, none with it."* ]] &&
    pass "another box answers with another hardware address: not followed; F1 says what was looked for and found" ||
    fail "another box answers with another hardware address: not followed; F1 says what was looked for and found" \
        "[$field] [$label] [$out]; the other box logged $(lines other) connections (one, the search's)"

# 6b. An address typed and never reached, with a pair that Wake box kept for it: a key to it
# that fails starts no search, though the other box answers in the /24 with that pair's
# hardware address.
wb() { drv --in "Wake box" "$@"; }
drv set-text 1044 $UNREACHED >/dev/null
click 1044 && drv wait-focus 1044 2 5 >/dev/null && xdotool key ctrl+w
wb set-text 1302 $OTHER_MAC >/dev/null && wb name-event 1303 1 5 >/dev/null
wb command 2 >/dev/null
before=$(lines other)
drv command 1005 >/dev/null && explanation_with "not sent to $UNREACHED" >/dev/null
# A search would have begun with the sign, and asks the other box's address within a second.
for _ in $(seq 1 50); do [ "$(lines other)" -gt "$before" ] && break; sleep 0.1; done
[[ "$(reg_value "Wake Addresses")" == *"$UNREACHED=$OTHER_MAC"* ]] && [ "$(drv get-text 1044)|$(lines other)" = "$UNREACHED|$before" ] &&
    pass "an address never reached, with a pair kept by Wake box: no search, the field stays" ||
    fail "an address never reached, with a pair kept by Wake box: no search, the field stays" \
        "[$(drv get-text 1044)]; Wake Addresses [$(reg_value "Wake Addresses")]; the other box logged $(lines other), had $before"

# 6c. Two addresses answer with the box's hardware address: not followed; the explanation says
# so whole.
there ip link set fb0 address $BOX_MAC
there ip addr add $THIRD/24 dev fb0
ip neigh flush dev fr0  # the other box's old hardware address goes from this side's table
start_box $THIRD twin || { echo "e2e_follow: the stand-in box did not start at $THIRD"; exit 1; }
drv set-text 1044 $NEW >/dev/null
drv command 1005 >/dev/null
wait_lines twin 1
out=$(explanation_with "Looked for")
[ "$(drv get-text 1044)|$(drv get-text 1043)" = "$NEW|Not sent" ] &&
    [[ $out == *"Looked for the box's hardware address $BOX_MAC in 127.0.1.0/24: 2 addresses answered, 2 of them with it, so the box was not followed. Find box marks them.\""* ]] &&
    pass "two addresses answer with the box's hardware address: not followed; F1 says so whole" ||
    fail "two addresses answer with the box's hardware address: not followed; F1 says so whole" \
        "[$(drv get-text 1044)] [$(drv get-text 1043)] [$out]"

# 7. The system menu's item, checked by default: chosen, it is unchecked and "Follow Box" is 0.
before=$(drv menu-state 0xA90)
drv send-message 0x112 0xA90 0 >/dev/null  # WM_SYSCOMMAND
[ "$before|$(drv menu-state 0xA90)|$(reg_value "Follow Box")" = "checked|unchecked|0x0" ] &&
    pass "\"Follow the box when it moves\" is checked at first; chosen, it is unchecked and saved as 0" ||
    fail "\"Follow the box when it moves\" is checked at first; chosen, it is unchecked and saved as 0" \
        "[$before] [$(drv menu-state 0xA90)] [$(reg_value "Follow Box")]"

# 8. Turned on again, the next key that fails looks again; the window closes while the search
# asks the /24 (it has reached the other box), and the program ends at once.
drv send-message 0x112 0xA90 0 >/dev/null
before=$(lines other)
drv command 1005 >/dev/null
wait_lines other $((before + 1)) || fail "a search after the item is chosen again" "the other box saw no connection"
drv close >/dev/null
for _ in $(seq 1 300); do kill -0 "$exe_pid" 2>/dev/null || break; sleep 0.05; done
if kill -0 "$exe_pid" 2>/dev/null; then fail "closed during a search, the program ends" "still running 15 s after"; else
    wait "$exe_pid"; rc=$?; exe_pid=
    [ "$rc" = 0 ] && pass "closed during a search, the program ends with exit code 0" ||
        fail "closed during a search, the program ends with exit code 0" "exit code $rc"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
