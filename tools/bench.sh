#!/usr/bin/env bash
# Benchmark of the real program under Wine: builds what is needed, runs remote_bench in a Wine
# prefix of its own, and prints the figures (Markdown) with the executable's size and imports.
# `bash tools/bench.sh latency` measures the press-to-wire latency only.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash tools/setup.sh || exit 1
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake >/dev/null || exit 1
cmake --build build/win --target HalcyraRemote remote_bench bare_window floor_window >/dev/null || exit 1

exe=build/win/app/HalcyraRemote.exe
source tools/wine-session.sh build/bench-prefix
wine reg add 'HKCU\Software\Quillon\Halcyra Remote' /v 'IP Address' /t REG_SZ /d 127.0.0.90 /f >/dev/null 2>&1

echo "# Benchmark run $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores, $(wine --version)"
echo
echo "Executable: $(stat -c %s "$exe") bytes (target <= 300 KB)."
echo "Imports: $(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')"
echo
wine build/win/tools/bench/remote_bench.exe "$root/$exe" "$root/build/win/tools/bench/bare_window.exe" \
     "$root/build/win/tools/bench/floor_window.exe" "$@" | tr -d '\r'
