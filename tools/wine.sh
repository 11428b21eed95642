#!/usr/bin/env bash
# Sourced by the scripts that run the Windows programs under Wine. Defines functions (and the
# folders they use): sourcing it runs nothing and sets no trap; a caller that starts a session
# stops it itself (`trap wine_session_stop EXIT`, or wine_session_stop in its own clean-up).
#
#   wine_choose KIND              which Wine and which build: KIND 8 is Debian 12's Wine, 10 is
#                                 Debian 13's Wine 10 (inside the root's mounts: tools/wine10.sh).
#                                 Sets win_bits (32 or 64), win_arch (win32 or win64: the build and
#                                 WINEARCH), win_build (its folder), exports HALCYRA_WINE=KIND and
#                                 puts that Wine first on PATH.
#   wine_session_start PREFIX     a session: the Wine prefix PREFIX, one wineserver -p60, Wine's
#                                 services, and an Xvfb display of its own (HALCYRA_SCREEN, default
#                                 1024x768x24), unless HALCYRA_OWN_DISPLAY=0 and $DISPLAY is set.
#   wine_session_restart          Wine's services again (after settings they read at their start)
#   wine_session_stop             the session's wineserver and Xvfb
#   wine_run PROGRAM [ARG...]     one Windows program with the session's prefix and quiet defaults
#   wine_ctest KIND [ARG...]      the build's CTest entries under Wine KIND, in a network namespace
#                                 of their own, so that their boxes on loopback addresses never
#                                 meet another run's
#
# The program ships 32-bit. Where the kernel runs no 32-bit code (its ia32 emulation is off), and
# under Wine 10, whose root holds the 64-bit Wine only, the same sources built for 64-bit Windows
# run under 64-bit Wine instead; the 32-bit program is still built and checked without running it.
#
# Run as a command, `bash tools/wine.sh run PROGRAM [ARG...]` is wine_run: CTest's emulator for
# every Windows test program (cmake/toolchain-*.cmake); `bash tools/wine.sh ctest 8 -R NAME` is
# wine_ctest, for running chosen entries by hand.

_wine_tools=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$_wine_tools/build.sh"
source "$_wine_tools/wine10.sh"

# tools/wine64 and tools/wine10 hold `wine` and `wineserver` for the 64-bit Wine 8 and for Wine 10:
# files rather than shell functions, because CTest and every program it starts find them by name
# on PATH.
wine_choose() {  # KIND
    local bin=
    case $1 in
        8)
            if /usr/lib/wine/wine --version >/dev/null 2>&1; then
                win_bits=32
            else
                win_bits=64 bin=$_wine_tools/wine64
            fi ;;
        10) win_bits=64 bin=$_wine_tools/wine10 ;;
        *) echo "wine_choose: Wine 8 or 10, not $1" >&2; return 2 ;;
    esac
    win_arch=win$win_bits
    win_build=$(build_folder "$win_arch")
    export HALCYRA_WINE=$1
    # A Wine chosen before (by this process or the one that started it) leaves PATH first.
    local dir path=
    while IFS= read -r -d: dir; do
        [ "$dir" = "$_wine_tools/wine64" ] || [ "$dir" = "$_wine_tools/wine10" ] || path+=${path:+:}$dir
    done <<<"$PATH:"
    export PATH=${bin:+$bin:}$path
}

wine_session_start() {  # PREFIX
    [ -n "${win_arch:-}" ] || wine_choose "${HALCYRA_WINE:-8}" || return
    mkdir -p "$1"
    WINEPREFIX=$(cd "$1" && pwd)
    export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=$win_arch
    _wine_xvfb_pid=
    if [ -z "${DISPLAY:-}" ] || [ "${HALCYRA_OWN_DISPLAY:-1}" = 1 ]; then
        local n
        for n in $(seq 90 199); do
            [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
            Xvfb ":$n" -screen 0 "${HALCYRA_SCREEN:-1024x768x24}" -nolisten tcp >/dev/null 2>&1 &
            _wine_xvfb_pid=$!
            for _ in $(seq 1 100); do
                [ -e "/tmp/.X11-unix/X$n" ] && break
                sleep 0.05
            done
            export DISPLAY=":$n"
            break
        done
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineserver -p60 >/dev/null 2>&1 </dev/null
        wine wineboot -i >/dev/null 2>&1 </dev/null
        # A crashing program ends at once instead of waiting on Wine's debugger.
        local aedebug='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
        wine reg add "$aedebug" /v Auto /d 1 /f >/dev/null 2>&1 </dev/null
        wine reg add "$aedebug" /v Debugger /d false /f >/dev/null 2>&1 </dev/null
    else
        _wine_start_services
    fi
}

# One wineserver for the whole session, and Wine's own services started now, with no pipe of
# ours: started later by a test program, they would inherit its output and keep a reader such as
# CTest waiting until they exit.
_wine_start_services() {
    wineserver -p60 >/dev/null 2>&1 </dev/null
    wine wineboot >/dev/null 2>&1 </dev/null
}

# After settings that Wine's services read at their start (the display's dpi): the services
# start again, so every program sees one set of settings, as on a system that was restarted.
wine_session_restart() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    _wine_start_services
}

wine_session_stop() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "${_wine_xvfb_pid:-}" ]; then
        kill "$_wine_xvfb_pid" 2>/dev/null || true
        wait "$_wine_xvfb_pid" 2>/dev/null || true
        _wine_xvfb_pid=
    fi
}

# In a subshell of its own, so that the defaults stay there.
wine_run() (  # PROGRAM [ARG...]
    export WINEPREFIX=${WINEPREFIX:-$_build_root/build/wineprefix} WINEDEBUG=${WINEDEBUG:--all} \
        WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
    exec wine "$@"
)

wine_ctest() {  # KIND [CTEST ARGUMENT...]
    local kind=$1
    shift
    local inside='source "$1" && trap wine_session_stop EXIT && wine_ctest_here "${@:2}"'
    local run=(bash -c "$inside" _ "$_wine_tools/wine.sh" "$kind" "$@")
    if unshare -n true 2>/dev/null; then
        # A network namespace of its own, its loopback up.
        run=(unshare -n bash -c "ip link set lo up && $inside" _ "$_wine_tools/wine.sh" "$kind" "$@")
    fi
    if [ "$kind" = 10 ]; then
        local root
        root=$(wine10_root) || return 1
        wine10_run "$root" "${run[@]}"
    else
        "${run[@]}"
    fi
}

# The CTest entries in this process, under Wine KIND, with a session of their own.
wine_ctest_here() {  # KIND [CTEST ARGUMENT...]
    local kind=$1 status skip=()
    shift
    cd "$_build_root" || return 1
    wine_choose "$kind" || return 1
    wine_session_start "$win_build/wineprefix-wine$kind"
    # resources_check reads the shipped 32-bit program itself; the caller runs it on that build.
    [ "$win_bits" = 64 ] && skip=(-E '^resources_check$')
    ctest --test-dir "$win_build" --output-on-failure -j2 "${skip[@]}" "$@"
    status=$?
    wine_session_stop
    return $status
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    if [ "${1:-}" = run ] && [ $# -ge 2 ]; then
        shift
        wine_run "$@"
    elif [ "${1:-}" = ctest ] && [ $# -ge 2 ]; then
        shift
        wine_ctest "$@"
    else
        echo "usage: bash tools/wine.sh run PROGRAM [ARG...] | ctest 8|10 [CTEST ARGUMENT...]   (or source it)" >&2
        exit 2
    fi
fi
