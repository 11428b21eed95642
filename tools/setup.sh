#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the remote.
# Costs nothing when everything is already present. With --wine10 it also makes (once) the
# Debian 13 root with Wine 10 that the tests run in as well (tools/wine10-root.sh).
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have_cmd i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686-posix)
have_cmd i686-w64-mingw32-windres   || need+=(binutils-mingw-w64-i686)
have_cmd x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix)
have_cmd cmake                      || need+=(cmake)
have_cmd ninja                      || need+=(ninja-build)
have_cmd clang                      || need+=(clang)
have_pkg libclang-rt-14-dev         || need+=(libclang-rt-14-dev)
have_cmd wine                       || need+=(wine)
have_pkg wine32:i386                || need+=(wine32:i386)
have_pkg wine64                     || need+=(wine64)  # where the kernel runs no 32-bit code
have_cmd ip                         || need+=(iproute2)
have_cmd unshare                    || need+=(util-linux)
[ "${1:-}" = --wine10 ] && { have_cmd debootstrap || need+=(debootstrap); }
[ "${1:-}" = --wine10 ] && { have_cmd qemu-system-x86_64 || need+=(qemu-system-x86); }
[ "${1:-}" = --wine10 ] && { have_cmd mkfs.ext4 || need+=(e2fsprogs); }
have_cmd Xvfb                       || need+=(xvfb)
have_cmd xdotool                    || need+=(xdotool)
have_cmd xwd                        || need+=(x11-apps)
have_pkg fonts-liberation           || need+=(fonts-liberation)
have_pkg fonts-wine                 || need+=(fonts-wine)
have_pkg imagemagick                || need+=(imagemagick)
have_cmd python3                    || need+=(python3)
[ -d /usr/src/googletest/googletest ] || need+=(googletest)

make_wine10_root() {
    [ "${1:-}" = --wine10 ] || return 0
    bash "$(dirname "$0")/wine10-root.sh" >/dev/null
    # Where this kernel runs no 32-bit code, the 32-bit programs run in an emulated machine; should
    # its image fail here, the test run tries again and names the failure.
    /usr/lib/wine/wine --version >/dev/null 2>&1 || bash "$(dirname "$0")/guest32.sh" image || true
}

if [ ${#need[@]} -eq 0 ]; then
    make_wine10_root "$@"
    exit 0
fi

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update -q
apt-get install -y -q --no-install-recommends "${need[@]}"
make_wine10_root "$@"
