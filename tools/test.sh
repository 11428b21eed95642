#!/usr/bin/env bash
# Every test of the project: installs what is missing, builds the native (sanitized) and the
# Windows configurations, and runs the native tests and the Windows test programs under Wine 8
# (Debian 12) and under Wine 10 (Debian 13, in a root that tools/setup.sh makes once).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source tools/wine.sh

bash tools/setup.sh --wine10 || exit 1
build_configure host >/dev/null && nice cmake --build build/host || exit 1
# The 32-bit program is what ships; Wine 10, and Wine 8 where 32-bit Wine is not there, run the
# 64-bit build of the same sources.
for kind in win32 win64; do
    build_configure "$kind" >/dev/null && nice cmake --build "$(build_folder "$kind")" || exit 1
done
wine_choose 8  # only to learn which build Wine 8 runs; each Wine run chooses again

failed=()
echo "== native tests (AddressSanitizer, UBSan, libFuzzer) =="
ctest --test-dir build/host --output-on-failure -j2 || failed+=("native")

if [ "$win_bits" = 64 ]; then
    echo "== the shipped 32-bit program's resources and headers (no 32-bit Wine here) =="
    ctest --test-dir build/win --output-on-failure -R '^resources_check$' || failed+=("32-bit program checks")
fi
if [ "$win_bits" = 64 ]; then
    echo "== the shipped 32-bit programs under 32-bit Wine in an emulated 64-bit machine =="
    bash tools/guest32.sh run build/win || failed+=("32-bit in emulated machine")
fi

echo "== Windows tests under Wine 8 ($(wine --version 2>/dev/null), ${win_bits}-bit build) =="
wine_ctest 8 || failed+=("Wine 8")

echo "== Windows tests under Wine 10 (64-bit build) =="
wine_ctest 10 || failed+=("Wine 10")

# Which way the shipped 32-bit programs ran: 32-bit Wine here, or the emulated machine where
# this kernel runs no 32-bit code or 32-bit Wine could not be installed.
[ "$win_bits" = 32 ] && path32="32-bit: native Wine" || path32="32-bit: emulated machine"
if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED under: ${failed[*]} ($path32)"
    exit 1
fi
echo "all tests passed: native, Wine 8 and Wine 10 ($path32)"
