#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks, by Debian package name; costs nothing when
# everything is already present. The one list of packages of the project.
#   bash tools/setup.sh             what building and testing need
#   bash tools/setup.sh --wine10    that, and (once) the Debian 13 root with Wine 10 that the
#                                   tests run in as well (tools/wine10.sh)
#   bash tools/setup.sh --release   only what the release build needs (tools/release.sh)
set -euo pipefail
tools=$(cd "$(dirname "$0")" && pwd)
part=${1:-}
case $part in
    "" | --wine10 | --release) ;;
    *) echo "usage: bash tools/setup.sh [--wine10 | --release]" >&2; exit 2 ;;
esac

need=()
need_cmd() { command -v "$1" >/dev/null 2>&1 || need+=("$2"); }  # COMMAND PACKAGE
need_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed' || need+=("$1"); }

# Building the Windows programs (the release too).
need_cmd i686-w64-mingw32-g++-posix g++-mingw-w64-i686-posix
need_cmd i686-w64-mingw32-windres binutils-mingw-w64-i686
need_cmd x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
need_cmd x86_64-w64-mingw32-windres binutils-mingw-w64-x86-64
need_cmd cmake cmake
need_cmd ninja ninja-build
need_cmd python3 python3
need_cmd git git
[ -d /usr/src/googletest/googletest ] || need+=(googletest)

if [ "$part" != --release ]; then
    # The native tests, the Wine runs and the end-to-end test.
    need_cmd clang clang
    need_pkg libclang-rt-14-dev
    need_cmd wine wine
    need_pkg wine32:i386
    need_pkg wine64  # where the kernel runs no 32-bit code
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
    # The emulated machine that runs the 32-bit programs where this kernel cannot.
    need_cmd qemu-system-x86_64 qemu-system-x86
    need_cmd mkfs.ext4 e2fsprogs
fi

if [ ${#need[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    if [[ " ${need[*]} " == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${need[@]}"
fi

if [ "$part" = --wine10 ]; then
    source "$tools/wine10.sh"
    wine10_root >/dev/null
    # Where this kernel runs no 32-bit code, the 32-bit programs run in an emulated machine; should
    # its image fail here, the test run tries again and names the failure.
    /usr/lib/wine/wine --version >/dev/null 2>&1 || bash "$tools/guest32.sh" image || true
fi
