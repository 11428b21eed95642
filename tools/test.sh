#!/usr/bin/env bash
# Every test of the project: installs what is missing, builds the native (sanitized) and the
# Windows configurations, and runs the native tests and the Windows test programs under Wine 8
# (Debian 12) and under Wine 10 (Debian 13, in a root that tools/setup.sh makes once).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash tools/setup.sh --wine10 || exit 1
source tools/wine-build.sh

cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null || exit 1
cmake --build build/host || exit 1
# The 32-bit program is what ships; Wine 10, and Wine 8 on a kernel without 32-bit code, run the
# 64-bit build of the same sources.
for bits in 32 64; do
    dir=build/win toolchain=cmake/toolchain-i686-mingw.cmake
    [ "$bits" = 64 ] && dir=build/win64 toolchain=cmake/toolchain-x86_64-mingw.cmake
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
          -DSTANDIN_BOX="$root/build/host/standin_box" >/dev/null || exit 1
    cmake --build "$dir" || exit 1
done

failed=()
echo "== native tests (AddressSanitizer, UBSan, libFuzzer) =="
ctest --test-dir build/host --output-on-failure -j2 || failed+=("native")

if [ "$win_bits" = 64 ]; then
    echo "== the shipped 32-bit program's resources and headers (this kernel runs no 32-bit code) =="
    ctest --test-dir build/win --output-on-failure -R '^resources_check$' || failed+=("32-bit program checks")
fi
if [ "$win_bits" = 64 ]; then
    echo "== the shipped 32-bit programs under 32-bit Wine in an emulated 64-bit machine =="
    bash tools/guest32.sh run build/win || failed+=("32-bit in emulated machine")
fi

echo "== Windows tests under Wine 8 ($(wine --version 2>/dev/null), ${win_bits}-bit build) =="
bash tools/wine-ctest.sh || failed+=("Wine 8")

echo "== Windows tests under Wine 10 (64-bit build) =="
if wine10_root=$(bash tools/wine10-root.sh); then
    HALCYRA_WINE=10 bash tools/wine10-mounts.sh "$wine10_root" bash tools/wine-ctest.sh || failed+=("Wine 10")
else
    echo "cannot make the Wine 10 root (see above): the Wine 10 run did not happen"
    failed+=("Wine 10 (no root)")
fi

if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED under: ${failed[*]}"
    exit 1
fi
echo "all tests passed: native, Wine 8 and Wine 10"
