#!/usr/bin/env bash
# Runs the shipped 32-bit programs where this kernel cannot: 32-bit Wine inside an emulated 64-bit
# Debian 12 machine (qemu-system-x86_64, TCG, no network device), whose own kernel runs 32-bit code.
#   bash tools/guest32.sh image             makes (once) the machine's disk image in the cache
#   bash tools/guest32.sh run BUILD         runs BUILD's 32-bit test programs in the machine
# The image lives outside the clone (HALCYRA_GUEST32, default /var/cache/halcyra/guest32) and is made
# again when its recipe (package list, init script) changes. Each run hands the build outputs in on
# a small second drive made for that run, boots from the image without writing to it, and reads the
# results from the serial console. Exits non-zero when a check failed or the machine gave no result.
# What runs there: the build's Windows test programs as CTest lists them (without the two long
# ones unless HALCYRA_GUEST32_SUITE=all), the sender against a box that logs what it gets, and a
# short run of the window driven with real X input.
set -uo pipefail

cache=${HALCYRA_GUEST32:-/var/cache/halcyra/guest32}
# What the machine holds: a kernel with IA-32 emulation, 32-bit Wine (and the 64-bit one it needs
# beside it), a display without a screen, X input, and python3 for the stand-in box.
guest_packages="linux-image-amd64 initramfs-tools kmod wine wine32:i386 wine64 libwine libwine:i386
xvfb xdotool python3 iproute2 procps fonts-liberation"
image_size=4G
# The suite's programs that spend minutes waiting on slow and silent boxes: natively about 3
# minutes together, in the machine about 17. They run there only with HALCYRA_GUEST32_SUITE=all.
long_programs="command_transaction_test soak_test"
suite=${HALCYRA_GUEST32_SUITE:-quick}
# The whole run, boot to power-off, inside this bound; 2 to 4 minutes are usual without the long
# programs, about 20 with them.
run_bound_s=${HALCYRA_GUEST32_BOUND:-$([ "$suite" = all ] && echo 2400 || echo 600)}
# A program's own CTest timeout, times this in the machine: TCG runs it about 3 times slower.
slowdown=3
# The image's own first boot: it makes the Wine prefix every run starts from.
prepare_bound_s=900

say() { echo "guest32: $*" >&2; }
source "$(dirname "${BASH_SOURCE[0]}")/wine10.sh"  # debian_mirror

# The init the kernel starts: it mounts what Wine and X need and hands over to the script on the
# second drive, so that what runs can change without making the image again. Should that script
# end without powering off, the kernel panics and the machine stops (panic=1, -no-reboot).
init_script() {
    cat <<'EOF'
#!/bin/sh
PATH=/usr/sbin:/usr/bin:/sbin:/bin
export PATH
mount -t proc proc /proc
# The initramfs hands over /sys and /dev already mounted.
mountpoint -q /sys || mount -t sysfs sys /sys
mountpoint -q /dev || mount -t devtmpfs dev /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs shm /dev/shm
mount -t tmpfs tmp /tmp
mount -t tmpfs run /run
mkdir -p /run/in
mount -t ext4 /dev/vdb /run/in || { echo "guest32-init: no second drive"; echo o >/proc/sysrq-trigger; }
ip link set lo up
exec /bin/bash /run/in/guest.sh
EOF
}

recipe_hash() { { echo "$guest_packages"; init_script; guest_setup; guest_prepare; } | sha256sum | cut -c1-16; }

image_ready() { [ -f "$cache/ready" ] && [ "$(cat "$cache/ready")" = "$(recipe_hash)" ]; }

# debootstrap, then the packages in a mount namespace of the root's own.
make_root() {  # PART
    local part=$1 mirror
    mirror=$(debian_mirror bookworm)
    [ -n "$mirror" ] || { say "no bookworm source in this machine's apt configuration"; return 1; }
    rm -rf "$part"
    mkdir -p "$part/root"
    debootstrap --arch=amd64 --variant=minbase bookworm "$part/root" "$mirror" >"$part/make.log" 2>&1 || {
        say "debootstrap failed, see $part/make.log"; return 1; }
    # shellcheck disable=SC2086
    unshare -m bash -c '
        set -e
        r=$1; shift
        mount -t proc proc "$r/proc"
        mount --rbind /dev "$r/dev"
        cp /etc/resolv.conf "$r/etc/resolv.conf" 2>/dev/null || true
        chroot "$r" dpkg --add-architecture i386
        chroot "$r" apt-get update -q
        DEBIAN_FRONTEND=noninteractive chroot "$r" apt-get install -y -q --no-install-recommends "$@"
        chroot "$r" apt-get clean
        rm -f "$r/etc/resolv.conf"
    ' _ "$part/root" $guest_packages >>"$part/make.log" 2>&1 || {
        say "installing the packages in the root failed, see $part/make.log"; return 1; }
    init_script >"$part/root/sbin/halcyra-init"
    chmod 755 "$part/root/sbin/halcyra-init"
}

# The root as an ext4 image, made without mounting it; the kernel and initrd beside it.
make_disk() {  # PART
    local part=$1
    cp "$part"/root/boot/vmlinuz-* "$part/vmlinuz" && cp "$part"/root/boot/initrd.img-* "$part/initrd" || {
        say "no kernel or initrd in the root"; return 1; }
    mkfs.ext4 -q -F -L halcyra32 -d "$part/root" "$part/disk.img" "$image_size" >>"$part/make.log" 2>&1 || {
        say "mkfs.ext4 failed, see $part/make.log"; return 1; }
    rm -rf "$part/root"
}

make_image() {
    local part=$cache.partial
    for cmd in debootstrap mkfs.ext4 qemu-system-x86_64 unshare; do
        command -v "$cmd" >/dev/null 2>&1 || { say "$cmd is missing (bash tools/setup.sh)"; return 1; }
    done
    say "making the emulated machine's image in $cache (once; about 10 minutes, 2.4 GB to fetch)"
    make_root "$part" && make_disk "$part" && prepare_prefix "$part" || return 1
    recipe_hash >"$part/ready"
    rm -rf "$cache"
    mv "$part" "$cache"
}

ensure_image() { image_ready || make_image; }

# The script the machine runs, handed in on the second drive: the set-up below, then the prepare
# or the run part. Set-up and prepare part make the Wine prefix of the image, so they belong to
# its recipe; the run part may change without making the image again.
guest_setup() {
    cat <<'EOF'
#!/bin/bash
set -u
export HOME=/root WINEPREFIX=/opt/halcyra/prefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=:1
stty -onlcr 2>/dev/null  # plain LF on the console: the host reads it as it comes
power_off() { sync; echo o >/proc/sysrq-trigger; sleep 30; }
uptime_s() { cut -d' ' -f1 /proc/uptime; }
echo "guest32: booted, up $(uptime_s) s"
Xvfb :1 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
for _ in $(seq 1 200); do [ -e /tmp/.X11-unix/X1 ] && break; sleep 0.1; done
echo "guest32: $(uname -m) kernel $(uname -r), $(wine --version), up $(uptime_s) s"
EOF
}

# Makes the Wine prefix every run starts from, once, then powers off.
guest_prepare() {
    cat <<'EOF'
mkdir -p "$WINEPREFIX"
wineserver -p60 >/dev/null 2>&1 </dev/null
wine wineboot -i >/tmp/wineboot.log 2>&1 </dev/null || tail -20 /tmp/wineboot.log
# A crashing program ends at once instead of waiting on Wine's debugger; no window manager runs,
# so Wine places and activates its windows itself.
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 1 /f >/dev/null 2>&1 </dev/null
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d false /f >/dev/null 2>&1 </dev/null
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
wineserver -k >/dev/null 2>&1; wineserver -w >/dev/null 2>&1
if [ -f "$WINEPREFIX/system.reg" ]; then echo "guest32: prefix ready, up $(uptime_s) s"; else ls -la "$WINEPREFIX"; fi
power_off
EOF
}

# Starts from the image's prefix (the image is not written), runs the programs in
# /run/in/suite.list, the sender and the window's smoke run; prints PASS and FAIL lines and, last,
# "guest32: N passed, M failed".
guest_run() {
    cat <<'EOF'
in=/run/in
bin=$in/bin
KEY='HKCU\SOFTWARE\Quillon\Halcyra Remote'
BOX=127.0.0.51      # the window's box
SEND_BOX=127.0.0.77 # the sender's box
NOBODY=127.0.0.111  # nothing listens here: connections are refused
WINDOW_WAIT_S=120   # the first window of a run under the emulator: Wine's desktop starts with it
STEP_WAIT_S=30      # a key on its way to the box, the close
passed=0
failed=0
work=/tmp/work
mkdir -p "$work"
cd "$work" || exit 1
pass() { echo "PASS $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1${2:+: $2}"; failed=$((failed + 1)); }

wineserver -p60 >/dev/null 2>&1 </dev/null
wine wineboot >/dev/null 2>&1 </dev/null
echo "guest32: Wine started, up $(uptime_s) s"

# A stand-in box: answers "OK" CR LF to each command (CR LF NUL) and logs one line per connection,
# in accept order: its number and the hex of every byte it received.
start_box() {  # ADDRESS NAME
    python3 - "$1" "$work/$2.log" "$work/$2.ready" <<'PY' >/dev/null 2>&1 &
import socket, sys, threading
addr, log, ready = sys.argv[1:4]
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind((addr, 8089))
server.listen(64)
open(ready, "w").write("ready\n")
lock = threading.Lock()
def serve(conn, number):
    conn.settimeout(10)
    data = b""
    answered = False
    try:
        while True:
            chunk = conn.recv(4096)
            if not chunk:
                break
            data += chunk
            if not answered and b"\r\n\0" in data:
                conn.sendall(b"OK\r\n")
                answered = True
    except OSError:
        pass
    conn.close()
    with lock, open(log, "a") as f:
        f.write("%d %s\n" % (number, data.hex()))
number = 0
while True:
    conn, _ = server.accept()
    number += 1
    threading.Thread(target=serve, args=(conn, number), daemon=True).start()
PY
    for _ in $(seq 1 100); do [ -f "$work/$2.ready" ] && return 0; sleep 0.1; done
    return 1
}
lines() { if [ -f "$work/$1.log" ]; then wc -l <"$work/$1.log"; else echo 0; fi; }
# The hex of the connections after the first SKIP, in accept order, space-separated.
hex_after() { sort -n "$work/$1.log" 2>/dev/null | awk -v skip="$2" 'NR > skip { printf "%s%s", sep, $2; sep = " " }'; }
frames() { local t out=""; for t in "$@"; do out="$out${out:+ }$(printf '%s\r\n\0' "$t" | od -An -v -tx1 | tr -d ' \n')"; done; echo "$out"; }
# Waits until box NAME logged COUNT connections, then checks they hold exactly TEXTS, in order.
expect_box() {  # CHECK NAME BEFORE TEXT...
    local check=$1 name=$2 before=$3 got want
    shift 3
    for _ in $(seq 1 $((STEP_WAIT_S * 10))); do [ "$(lines "$name")" -ge $((before + $#)) ] && break; sleep 0.1; done
    sleep 0.5  # room for a connection too many to show up
    got=$(hex_after "$name" "$before")
    want=$(frames "$@")
    [ "$got" = "$want" ] && pass "$check" || fail "$check" "box got [$got], expected [$want]"
}
drv() { timeout "$STEP_WAIT_S" wine "$bin/e2e_driver.exe" "$@" 2>/dev/null </dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }

# The suite's programs: NAME, TIMEOUT, then the command line, tab-separated.
run_suite() {
    local name limit start out rc
    while IFS=$'\t' read -r name limit cmd; do
        start=$(uptime_s)
        # shellcheck disable=SC2086
        out=$(timeout -k 5 "$limit" wine $cmd 2>&1 </dev/null | tr -d '\r')
        rc=${PIPESTATUS[0]}
        if [ "$rc" -eq 0 ]; then
            pass "$name, $(awk -v a="$start" -v b="$(uptime_s)" 'BEGIN { printf "%.0f", b - a }') s: $(echo "$out" | grep -E 'PASSED|passed' | tail -1)"
        else
            fail "$name" "exit code $rc"
            echo "$out" | tail -40
        fi
    done <"$in/suite.list"
}

# The sender's own line, against a box that logs what it gets: four keys in order, exit code 0.
check_sender() {
    start_box $SEND_BOX send || { fail "sender: a box on $SEND_BOX" "did not start"; return; }
    timeout "$STEP_WAIT_S" wine "$bin/HalcyraSend.exe" $SEND_BOX POWER 705 >/dev/null 2>&1 </dev/null
    local rc=$?
    [ "$rc" -eq 0 ] || fail "HalcyraSend.exe $SEND_BOX POWER 705 exits with code 0" "exit code $rc"
    expect_box "HalcyraSend.exe $SEND_BOX POWER 705: four commands in order" send 0 \
        "press POWER" "press NUMBER7" "press NUMBER0" "press NUMBER5"
}

# The window: its saved address shown, a key and a click reach the box, the sign on a refused
# connection, a clean close.
check_window() {
    start_box $BOX window || { fail "window: a box on $BOX" "did not start"; return; }
    wine reg add "$KEY" /v "IP Address" /d $BOX /f >/dev/null 2>&1 </dev/null
    wine "$bin/HalcyraRemote.exe" >"$work/remote.log" 2>&1 </dev/null &
    local pid=$! xy label rc
    if ! drv wait-window $WINDOW_WAIT_S >/dev/null; then
        fail "window: starts" "no main window within $WINDOW_WAIT_S s"
        kill $pid 2>/dev/null
        return
    fi
    label=$(drv get-text 1044)
    [ "$label" = $BOX ] && pass "window: the saved address is shown" || fail "window: the saved address is shown" "field shows \"$label\""
    xdotool key 5
    expect_box "window: a keyboard key reaches the box" window 0 "press NUMBER5"
    xy=$(drv center 1001) && xdotool mousemove --sync $xy click 1
    expect_box "window: a click on POWER reaches the box" window 1 "press POWER"
    drv set-text 1044 $NOBODY >/dev/null
    xdotool key 5
    for _ in $(seq 1 $((STEP_WAIT_S * 2))); do label=$(drv get-text 1043); [ "$label" = "Not sent" ] && break; sleep 0.5; done
    [ "$label" = "Not sent" ] && pass "window: a key to $NOBODY shows \"Not sent\"" ||
        fail "window: a key to $NOBODY shows \"Not sent\"" "label \"$label\""
    drv set-text 1044 $BOX >/dev/null
    drv close >/dev/null
    for _ in $(seq 1 $((STEP_WAIT_S * 10))); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
    if kill -0 $pid 2>/dev/null; then
        fail "window: closes with exit code 0" "still running $STEP_WAIT_S s after the close"
        kill $pid 2>/dev/null
    else
        wait $pid
        rc=$?
        [ "$rc" -eq 0 ] && pass "window: closes with exit code 0" || fail "window: closes with exit code 0" "exit code $rc"
    fi
}

run_suite
check_sender
check_window
wineserver -k >/dev/null 2>&1
echo "guest32: $passed passed, $failed failed, up $(uptime_s) s"
power_off
EOF
}

# A drive of the files in DIR, made without mounting anything.
make_drive() {  # DIR IMAGE
    local mb
    mb=$(($(du -sm "$1" | cut -f1) + 32))
    rm -f "$2"
    mkfs.ext4 -q -F -L halcyra-in -d "$1" "$2" "${mb}M" >/dev/null
}

# Boots the machine from the image in DIR with the drive made from IN (its guest.sh written here)
# and its serial console on stdout and in LOG; killed after BOUND seconds. Writes go to the image
# only in the prepare mode; a run works on a throw-away overlay of it.
boot() {  # DIR MODE IN BOUND LOG
    local dir=$1 mode=$2 in=$3 bound=$4 log=$5 snapshot=,snapshot=on rc
    [ "$mode" = prepare ] && snapshot=
    mkdir -p "$in"
    { guest_setup; if [ "$mode" = prepare ]; then guest_prepare; else guest_run; fi; } >"$in/guest.sh"
    make_drive "$in" "$in.img" || { say "cannot make the drive of $in"; return 1; }
    # The named CPU: under -cpu max every Wine process faults in the guest's kernel.
    nice timeout -k 10 "$bound" qemu-system-x86_64 -machine q35 -cpu qemu64,+ssse3,+sse4.1,+sse4.2,+popcnt \
        -smp 2 -m 3072 -nodefaults -no-reboot -display none -monitor none -serial stdio -net none \
        -kernel "$dir/vmlinuz" -initrd "$dir/initrd" \
        -append "root=/dev/vda rw console=ttyS0 init=/sbin/halcyra-init quiet panic=1" \
        -drive "file=$dir/disk.img,format=raw,if=virtio$snapshot" \
        -drive "file=$in.img,format=raw,if=virtio" </dev/null 2>&1 | tee "$log"
    rc=${PIPESTATUS[0]}
    rm -f "$in.img"
    if [ "$rc" = 124 ] || [ "$rc" = 137 ]; then
        say "the machine did not power off within $bound s (stopped); the last it printed:"
        tail -15 "$log" >&2
        return 1
    fi
    [ "$rc" = 0 ] || { say "qemu-system-x86_64 ended with code $rc"; return 1; }
}

prepare_prefix() {  # PART
    boot "$1" prepare "$1/prepare-in" "$prepare_bound_s" "$1/prepare.log" >/dev/null &&
        grep -q '^guest32: prefix ready' "$1/prepare.log" || {
        say "the first boot did not make the Wine prefix, see $1/prepare.log"; return 1; }
    rm -rf "$1/prepare-in"
}

# The suite's programs of BUILD as CTest lists them, with every file of the build they name copied
# to BIN: one line per program, "NAME TIMEOUT COMMAND" (tab-separated). Only the tests that run a
# Windows program of the build; the scripts need the host's tools.
suite_list() {  # BUILD BIN SKIPPED
    ctest --test-dir "$1" --show-only=json-v1 | python3 -c '
import json, os, shutil, sys
build, bin, skipped = os.path.realpath(sys.argv[1]), sys.argv[2], sys.argv[3].split()
slowdown = int(sys.argv[4])
for test in json.load(sys.stdin)["tests"]:
    # The Windows program and its arguments, without the launcher that runs it on this machine
    # (tools/wine.sh run PROGRAM); a test run by a host tool (python3, bash) is not one of them.
    command = test.get("command") or []
    launcher = next((i for i, word in enumerate(command) if word.endswith("wine.sh")), -1)
    start = next((i for i, word in enumerate(command) if word.endswith(".exe") and i > launcher >= 0), None)
    if start is None or test["name"] in skipped:
        continue
    command = command[start:]
    words = []
    for word in command:
        path = os.path.realpath(word) if os.path.isabs(word) else ""
        if path.startswith(build + "/") and os.path.isfile(path):
            shutil.copy(path, bin)
            word = "/run/in/bin/" + os.path.basename(path)
        words.append(word)
    limit = next((int(float(p["value"])) for p in test.get("properties", []) if p["name"] == "TIMEOUT"), 300)
    print("%s\t%d\t%s" % (test["name"], limit * slowdown, " ".join(words)))
' "$1" "$2" "$3" "$slowdown"
}

# Runs BUILD's 32-bit programs in the machine and reads the result from its console.
run_checks() {  # BUILD
    local build in log result
    build=$(cd "$1" && pwd) || return 1
    in=$build/guest32-in
    log=$build/guest32.log
    for f in app/HalcyraRemote.exe app/HalcyraSend.exe tests/e2e/e2e_driver.exe tests/e2e/e2e_probe.dll; do
        [ -f "$build/$f" ] || { say "$build/$f is missing: build the 32-bit configuration first"; return 1; }
    done
    rm -rf "$in"
    mkdir -p "$in/bin"
    cp "$build"/app/HalcyraRemote.exe "$build"/app/HalcyraSend.exe "$build"/tests/e2e/e2e_driver.exe \
        "$build"/tests/e2e/e2e_probe.dll "$in/bin/"
    local skipped=$long_programs
    [ "$suite" = all ] && skipped=
    suite_list "$build" "$in/bin" "$skipped" >"$in/suite.list" || { say "cannot list $build's tests"; return 1; }
    boot "$cache" run "$in" "$run_bound_s" "$log" || return 1
    rm -rf "$in"
    result=$(grep -E '^guest32: [0-9]+ passed, [0-9]+ failed' "$log" | tail -1)
    [ -n "$result" ] || { say "the machine powered off without a result; see $log"; return 1; }
    [[ $result == *" 0 failed"* ]]
}

# One image maker at a time; runs read the image and never write it.
with_image() {
    mkdir -p "$(dirname "$cache")"
    exec 9>"$cache.lock"
    flock 9
    ensure_image || return 1
    flock -u 9
}

[ "${BASH_SOURCE[0]}" = "$0" ] || return 0  # sourced for its functions
case "${1:-}:$#" in
    image:1) with_image ;;
    run:2)   with_image && run_checks "$2" ;;
    *)       echo "usage: $0 image | run BUILD" >&2; exit 2 ;;
esac
