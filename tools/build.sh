# Sourced: the one configure line of each build, and the folder each build lives in.
# Defines functions (and the clone's folder); sourcing it runs nothing.
#   build_folder KIND                  this clone's folder of the build: build/host, build/win, build/win64
#   build_configure KIND [SOURCE BUILD]
# KIND is host (native clang; the sanitized tests, the fuzzer, the stand-in box), win32 (the
# shipped program, i686 MinGW-w64) or win64 (the same sources for 64-bit Windows, x86_64).
# Without SOURCE and BUILD it configures this clone's own folder, the Windows builds with the
# stand-in box for the end-to-end test; with them (the release) exactly that source and folder.

_build_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

build_folder() {  # KIND
    case $1 in
        host) echo build/host ;;
        win32) echo build/win ;;
        win64) echo build/win64 ;;
        *) echo "build_folder: unknown build $1" >&2; return 2 ;;
    esac
}

build_configure() {  # KIND [SOURCE BUILD]
    local kind=$1 source=${2:-$_build_root} build=${3:-}
    local args=()
    if [ -z "$build" ]; then
        build=$_build_root/$(build_folder "$kind") || return 2
        [ "$kind" = host ] || args+=(-DSTANDIN_BOX="$_build_root/build/host/standin_box")
    fi
    case $kind in
        host) args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
        win32) args+=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$source/cmake/toolchain-i686-mingw.cmake") ;;
        win64) args+=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$source/cmake/toolchain-x86_64-mingw.cmake") ;;
        *) echo "build_configure: unknown build $kind" >&2; return 2 ;;
    esac
    cmake -S "$source" -B "$build" -G Ninja "${args[@]}"
}
