#!/usr/bin/env bash
# Makes (once) a Debian 13 root with Wine 10 in a cache folder outside the clone, for running the
# Windows test programs under a second, newer Wine. Debian packages only, by name.
# Usage: bash tools/wine10-root.sh   (prints the root's path; exits non-zero when it cannot)
set -euo pipefail
root=${HALCYRA_WINE10_ROOT:-/var/cache/halcyra/wine10-root}
packages="wine64 libwine fonts-liberation fonts-wine ca-certificates"

if [ -x "$root/usr/lib/wine/wine64" ] && [ -f "$root/.halcyra-ready" ]; then
    echo "$root"
    exit 0
fi
command -v debootstrap >/dev/null 2>&1 || {
    echo "wine10-root: debootstrap is missing (apt-get install debootstrap)" >&2; exit 1; }
command -v unshare >/dev/null 2>&1 || { echo "wine10-root: unshare is missing" >&2; exit 1; }

rm -rf "$root.partial"
mkdir -p "$root.partial"
echo "wine10-root: making a Debian 13 root with Wine 10 in $root (once; a few minutes)" >&2
debootstrap --variant=minbase trixie "$root.partial" http://deb.debian.org/debian >"$root.log" 2>&1 || {
    echo "wine10-root: debootstrap failed, see $root.log" >&2; exit 1; }
# The mounts live in a mount namespace of their own: they are gone when it ends, on every path.
unshare -m bash -c '
    set -e
    r=$1; shift
    mount -t proc proc "$r/proc"
    mount --rbind /dev "$r/dev"
    cp /etc/resolv.conf "$r/etc/resolv.conf" 2>/dev/null || true
    chroot "$r" apt-get update -q
    DEBIAN_FRONTEND=noninteractive chroot "$r" apt-get install -y -q --no-install-recommends "$@"
    chroot "$r" apt-get clean
' _ "$root.partial" $packages >>"$root.log" 2>&1 || {
    echo "wine10-root: installing Wine 10 in the root failed, see $root.log" >&2; exit 1; }
touch "$root.partial/.halcyra-ready"
rm -rf "$root"
mv "$root.partial" "$root"
echo "$root"
