# Sourced: which Wine runs the Windows programs, and which build of them it runs.
# HALCYRA_WINE=8 (default): Debian 12's Wine. HALCYRA_WINE=10: Debian 13's Wine 10 from the root
# that tools/wine10-root.sh makes; the caller runs inside tools/wine10-mounts.sh.
# The program ships 32-bit. Where the kernel runs no 32-bit code (its ia32 emulation is off), and
# under Wine 10, whose root holds the 64-bit Wine only, the same sources built for 64-bit Windows
# run under 64-bit Wine instead; the 32-bit program is still built and checked without running it.
# Sets win_bits, win_build, win_toolchain, win_arch, and puts the chosen Wine first on PATH.
_wb_tools=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ "${HALCYRA_WINE:-8}" = 10 ]; then
    win_bits=64
    PATH="$_wb_tools/wine10:$PATH"
elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
    win_bits=32
else
    win_bits=64
    PATH="$_wb_tools/wine64:$PATH"
fi
if [ "$win_bits" = 32 ]; then
    win_build=build/win win_toolchain=cmake/toolchain-i686-mingw.cmake win_arch=win32
else
    win_build=build/win64 win_toolchain=cmake/toolchain-x86_64-mingw.cmake win_arch=win64
fi
export PATH
