#!/usr/bin/env bash
# Runs the Windows test programs under one Wine (HALCYRA_WINE=8, the default, or 10), in a network
# namespace of their own where the machine allows one, so that their boxes on loopback addresses
# never meet another run's. Usage: bash tools/wine-ctest.sh [ctest arguments]
set -uo pipefail
cd "$(dirname "$0")/.."
if [ -z "${HALCYRA_PRIVATE_NET:-}" ] && unshare -n true 2>/dev/null; then
    exec env HALCYRA_PRIVATE_NET=1 unshare -n bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi
source tools/wine-build.sh
source tools/wine-session.sh "$win_build/wineprefix-wine${HALCYRA_WINE:-8}"
skip=()
# resources_check reads the shipped 32-bit program itself; the caller runs it on that build.
[ "$win_bits" = 64 ] && skip=(-E '^resources_check$')
ctest --test-dir "$win_build" --output-on-failure -j2 "${skip[@]}" "$@"
