#!/usr/bin/env bash
# Every test of the project: installs what is missing, builds the native (sanitized) and the
# 32-bit Windows configurations, and runs both test suites; the Windows ones under Wine.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash tools/setup.sh || exit 1

cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null || exit 1
cmake --build build/host || exit 1
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake \
      -DSTANDIN_BOX="$root/build/host/standin_box" >/dev/null || exit 1
cmake --build build/win || exit 1

status=0
echo "== native tests (AddressSanitizer, UBSan, libFuzzer) =="
ctest --test-dir build/host --output-on-failure -j2 || status=1

echo "== Windows tests under Wine =="
source tools/wine-session.sh build/win/wineprefix
ctest --test-dir build/win --output-on-failure -j2 || status=1

exit $status
