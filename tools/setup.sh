#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks, by Debian package name; costs nothing when
# everything is already present. The one list of packages of the project.
#   bash tools/setup.sh             what building and testing need
#   bash tools/setup.sh --wine10    that, and (once) the Debian 13 root with Wine 10 that the
#                                   tests run in as well (tools/wine10.sh)
#   bash tools/setup.sh --release   only what the release build needs (tools/release.sh)
#
# A package index that fails to download (an archive in mid-sync, a stale proxy) does not stop
# it: the update is tried again, then it goes on with the lists it has, and stops only when a
# package that building or testing needs cannot be installed, naming that package. 32-bit Wine
# is wanted, not required: without it the Windows tests run the 64-bit build under Wine 8 and the
# shipped 32-bit programs run in the emulated machine (tools/guest32.sh).
set -euo pipefail
tools=$(cd "$(dirname "$0")" && pwd)
part=${1:-}
case $part in
    "" | --wine10 | --release) ;;
    *) echo "usage: bash tools/setup.sh [--wine10 | --release]" >&2; exit 2 ;;
esac

# apt-get update's tries, and the pause between them: a mirror in mid-sync often settles within
# a minute, and a list that stays broken must not hold up a set-up that may not need it.
APT_UPDATE_TRIES=3
APT_UPDATE_PAUSE_S=5

need=()
need_cmd() { command -v "$1" >/dev/null 2>&1 || need+=("$2"); }  # COMMAND PACKAGE
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
need_pkg() { installed "$1" || need+=("$1"); }

# Building the Windows programs (the release too).
need_cmd i686-w64-mingw32-g++-posix g++-mingw-w64-i686-posix
need_cmd i686-w64-mingw32-windres binutils-mingw-w64-i686
need_cmd x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
need_cmd x86_64-w64-mingw32-windres binutils-mingw-w64-x86-64
need_cmd cmake cmake
need_cmd ninja ninja-build
need_cmd python3 python3
need_cmd git git
need_pkg googletest

if [ "$part" != --release ]; then
    # The native tests, the Wine runs and the end-to-end test. wine64 is what runs where 32-bit
    # Wine is not there; wine32:i386 is asked for on its own, below.
    need_cmd clang clang
    need_pkg libclang-rt-14-dev
    need_cmd wine wine
    need_pkg wine64
    need_cmd ip iproute2
    need_cmd unshare util-linux
    need_cmd Xvfb xvfb
    need_cmd xdotool xdotool
    need_cmd xwd x11-apps
    need_pkg fonts-liberation
    need_pkg fonts-wine
    need_pkg imagemagick
fi
if [ "$part" = --wine10 ]; then
    need_cmd debootstrap debootstrap
    # The emulated machine that runs the 32-bit programs where this kernel cannot, or where
    # 32-bit Wine cannot be installed.
    need_cmd qemu-system-x86_64 qemu-system-x86
    need_cmd mkfs.ext4 e2fsprogs
fi

# Whether this kernel runs 32-bit x86 code: a 93-byte i386 ELF that only calls exit(0).
# HALCYRA_KERNEL32=1 or 0 answers instead (the set-up's own test).
kernel_runs_32bit() {
    case ${HALCYRA_KERNEL32:-} in 1) return 0 ;; 0) return 1 ;; esac
    local probe status=0
    probe=$(mktemp)
    printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\010\064\0\0\0\0\0\0\0\0\0\0\0\064\0\040\0\1\0\0\0\0\0\0\0' >"$probe"
    printf '\1\0\0\0\0\0\0\0\0\200\4\010\0\200\4\010\135\0\0\0\135\0\0\0\5\0\0\0\0\020\0\0' >>"$probe"
    printf '\270\1\0\0\0\061\333\315\200' >>"$probe"
    chmod 700 "$probe"
    "$probe" 2>/dev/null || status=$?
    rm -f "$probe"
    return $status
}

export DEBIAN_FRONTEND=noninteractive
updated=

# apt-get update, tried again with a pause and with apt's own retries; when index files still
# fail, one line says so and the set-up goes on with the lists it has.
apt_update() {
    [ -z "$updated" ] || return 0
    updated=1
    local try log
    log=$(mktemp)
    for try in $(seq 1 "$APT_UPDATE_TRIES"); do
        if apt-get update -q -o Acquire::Retries=3 >"$log" 2>&1; then
            rm -f "$log"
            return 0
        fi
        [ "$try" = "$APT_UPDATE_TRIES" ] || sleep "$APT_UPDATE_PAUSE_S"
    done
    echo "setup: some package index files failed to download ($(grep -m1 '^E: Failed to fetch' "$log" | sed 's/^E: //; s/ *\[IP:[^]]*\]//; s/  */ /g' | cut -c1-240 || true)); going on with the lists there are"
    rm -f "$log"
}

# Installs PACKAGE...; when they do not install together, each alone, so that the line names
# every one that cannot be installed. Returns non-zero when any could not.
apt_install() {
    apt-get install -y -q --no-install-recommends "$@" && return 0
    local pkg missing=()
    for pkg in "$@"; do
        apt-get install -y -q --no-install-recommends "$pkg" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "setup: cannot install ${missing[*]}: building and testing need it" >&2
    return 1
}

if [ ${#need[@]} -gt 0 ]; then
    apt_update
    apt_install "${need[@]}" || exit 1
fi

# 32-bit Wine, on its own: where it cannot be had, the tests take the emulated machine's path.
if [ "$part" != --release ] && ! installed wine32:i386 && kernel_runs_32bit; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
        updated=
    fi
    apt_update
    log=$(mktemp)
    if ! apt-get install -y -q --no-install-recommends wine32:i386 >"$log" 2>&1; then
        why=$(grep -m1 -E 'Depends:|^E: ' "$log" | sed 's/^ *//' | cut -c1-160 || true)
        echo "setup: wine32:i386 cannot be installed (${why:-apt-get failed}): the Windows tests run the 64-bit build under Wine 8, and the shipped 32-bit programs run in the emulated machine (tools/guest32.sh)"
    fi
    rm -f "$log"
fi

if [ "$part" = --wine10 ]; then
    source "$tools/wine10.sh"
    wine10_root >/dev/null
    # Where 32-bit Wine does not run here, the 32-bit programs run in an emulated machine; should
    # its image fail here, the test run tries again and names the failure.
    /usr/lib/wine/wine --version >/dev/null 2>&1 || bash "$tools/guest32.sh" image || true
fi
