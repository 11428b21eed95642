#!/usr/bin/env bash
# Runs a command with the Wine 10 root's mounts, in a mount namespace of its own: whatever is
# mounted here is gone when the command ends, on every path.
# Usage: bash tools/wine10-mounts.sh ROOT COMMAND...
set -euo pipefail
root=$1
shift
project=$(cd "$(dirname "$0")/.." && pwd)
exec unshare -m bash -c '
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
' _ "$root" "$project" "$@"
