# Sourced: Wine 10 from a Debian 13 root in a cache folder outside the clone, for running the
# Windows test programs under a second, newer Wine. Defines functions only; sourcing runs nothing.
#   wine10_root                   prints the root's folder, making it first (once, a few minutes)
#   wine10_run ROOT COMMAND...    runs COMMAND with the root's mounts, in a mount namespace of its
#                                 own: whatever is mounted there is gone when COMMAND ends, on every
#                                 path. tools/wine10/{wine,wineserver} run Wine in the root.
# The root holds Debian packages only, by name, from this machine's own Debian archive (its apt
# configuration); the root's folder is HALCYRA_WINE10_ROOT, by default /var/cache/halcyra/wine10-root.

_wine10_project=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
WINE10_PACKAGES=(wine64 libwine fonts-liberation fonts-wine ca-certificates)

# The archive this machine installs its Debian release from, as its apt configuration names it:
# the source of the release's own suite (RELEASE, by default this machine's), never an -updates
# or -security suite, so that a root made from it takes every package from one suite whose lists
# agree. Also the emulated machine's (tools/guest32.sh).
debian_mirror() {  # [RELEASE]
    local release=${1:-$(. /etc/os-release && echo "${VERSION_CODENAME:-}")}
    apt-get indextargets --format '$(RELEASE) $(REPO_URI)' 2>/dev/null |
        awk -v release="$release" '$1 == release { print $2; exit }'
}

wine10_root() {
    local root=${HALCYRA_WINE10_ROOT:-/var/cache/halcyra/wine10-root} mirror
    if [ -x "$root/usr/lib/wine/wine64" ] && [ -f "$root/.halcyra-ready" ]; then
        echo "$root"
        return 0
    fi
    command -v debootstrap >/dev/null 2>&1 || {
        echo "wine10: debootstrap is missing (bash tools/setup.sh --wine10)" >&2; return 1; }
    mirror=$(debian_mirror)
    [ -n "$mirror" ] || {
        echo "wine10: this machine's apt configuration names no archive of its Debian release" >&2; return 1; }
    rm -rf "$root.partial"
    mkdir -p "$root.partial"
    echo "wine10: making a Debian 13 root with Wine 10 in $root from $mirror (once; a few minutes)" >&2
    debootstrap --variant=minbase trixie "$root.partial" "$mirror" >"$root.log" 2>&1 || {
        echo "wine10: debootstrap failed, see $root.log" >&2; return 1; }
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
    ' _ "$root.partial" "${WINE10_PACKAGES[@]}" >>"$root.log" 2>&1 || {
        echo "wine10: installing Wine 10 in the root failed, see $root.log" >&2; return 1; }
    touch "$root.partial/.halcyra-ready"
    rm -rf "$root"
    mv "$root.partial" "$root"
    echo "$root"
}

wine10_run() {  # ROOT COMMAND...
    local root=$1
    shift
    unshare -m bash -c '
        set -e
        r=$1 p=$2
        shift 2
        mount -t proc proc "$r/proc"
        mount --rbind /dev "$r/dev"
        mount --rbind /sys "$r/sys"
        mount --bind /tmp "$r/tmp"   # the X display and the wineserver socket
        mkdir -p "$r$p"
        mount --bind "$p" "$r$p"     # the builds, at the same path as outside
        export HALCYRA_WINE10_ROOT=$r
        exec "$@"
    ' _ "$root" "$_wine10_project" "$@"
}
