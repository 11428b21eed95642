#!/usr/bin/env bash
# Benchmark of the real program under Wine: builds what is needed, runs remote_bench in a Wine
# prefix of its own, and prints the figures (Markdown) with the executable's size and imports.
# `bash tools/bench.sh latency` measures the press-to-wire latency only; `--wine10` first runs it
# under Wine 10 (the root that `bash tools/setup.sh --wine10` makes) instead of Wine 8.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ "${1:-}" = --wine10 ]; then
    shift
    bash tools/setup.sh --wine10 || exit 1
    exec env HALCYRA_WINE=10 bash tools/wine10-mounts.sh "$(bash tools/wine10-root.sh)" bash "$0" "$@"
fi
bash tools/setup.sh || exit 1
source tools/wine-build.sh
cmake -S . -B "$win_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$win_toolchain" >/dev/null || exit 1
cmake --build "$win_build" --target HalcyraRemote remote_bench bare_window floor_window >/dev/null || exit 1

exe=$win_build/app/HalcyraRemote.exe
source tools/wine-session.sh "$win_build/bench-prefix-wine${HALCYRA_WINE:-8}"
wine reg add 'HKCU\Software\Quillon\Halcyra Remote' /v 'IP Address' /t REG_SZ /d 127.0.0.90 /f >/dev/null 2>&1

echo "# Benchmark run $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores, $(wine --version)"
echo
echo "Executable: $(stat -c %s "$exe") bytes (target <= 300 KB)."
echo "Imports: $(objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')"
echo
bench=$root/$win_build/tools/bench
echo "Build: ${win_bits}-bit."
wine "$bench/remote_bench.exe" "$root/$exe" "$bench/bare_window.exe" "$bench/floor_window.exe" "$@" | tr -d '\r'
