#!/usr/bin/env bash
# Benchmark of the real program under Wine: builds what is needed, runs remote_bench in a Wine
# prefix of its own, and prints the figures (Markdown) with the executable's size and imports.
# `bash tools/bench.sh latency` measures the press-to-wire latency only; `bash tools/bench.sh
# startup [PAIRS [PROGRAM.exe]]` the start-up only (15 alternating pairs of starts unless PAIRS
# says otherwise), of PROGRAM.exe (absolute, or from the checkout's root) instead of this build's
# program when given, such as a build of an earlier commit; `bash tools/bench.sh sender`
# measures the command-line sender against its floor only; `--wine10` first runs it under Wine 10
# (the root that `bash tools/setup.sh --wine10` makes) instead of Wine 8.
# Sourced, it defines bench_measure only.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 1
source tools/wine.sh

bench_measure() {  # KIND [ARG...]: the figures under Wine KIND, with its session
    wine_choose "$1" || return 1
    shift
    build_configure "$win_arch" >/dev/null || return 1
    cmake --build "$win_build" --target HalcyraRemote remote_bench bare_window floor_window send_bench \
        search_bench >/dev/null || return 1
    wine_session_start "$win_build/bench-prefix-wine$HALCYRA_WINE"
    trap wine_session_stop EXIT
    wine reg add 'HKCU\Software\Quillon\Halcyra Remote' /v 'IP Address' /t REG_SZ /d 127.0.0.90 /f >/dev/null 2>&1

    local exe=$root/$win_build/app/HalcyraRemote.exe bench=$root/$win_build/tools/bench
    if [ "${1:-}" = startup ] && [ -n "${3:-}" ]; then
        case $3 in /*) exe=$3 ;; *) exe=$root/$3 ;; esac
    fi
    echo "# Benchmark run $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores, $(wine --version)"
    echo
    echo "Executable: $(stat -c %s "$exe") bytes (target <= 300 KB)."
    echo "Imports: $(objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')"
    echo
    echo "Build: ${win_bits}-bit."
    if [ "${1:-}" = sender ]; then
        local send=$win_build/app/HalcyraSend.exe
        echo "HalcyraSend.exe: $(stat -c %s "$send") bytes; imports: $(objdump -p "$send" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')"
        echo
        wine "$bench/send_bench.exe" "$root/$send" "$bench/floor_send.exe" "${@:2}" | tr -d '\r'
        return "${PIPESTATUS[0]}"
    fi
    if [ "${1:-}" = startup ]; then
        wine "$bench/remote_bench.exe" "$exe" "$bench/bare_window.exe" "$bench/floor_window.exe" startup "${2:-15}" |
            tr -d '\r'
        return "${PIPESTATUS[0]}"
    fi
    wine "$bench/remote_bench.exe" "$exe" "$bench/bare_window.exe" "$bench/floor_window.exe" "$@" | tr -d '\r'
    echo
    wine "$bench/search_bench.exe" | tr -d '\r'
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    if [ "${1:-}" = --wine10 ]; then
        shift
        bash tools/setup.sh --wine10 || exit 1
        # Wine 10 runs inside the root's mounts, a mount namespace that a command of its own starts.
        wine10_root=$(wine10_root) || exit 1
        wine10_run "$wine10_root" bash -c 'source tools/bench.sh && bench_measure 10 "$@"' _ "$@"
    else
        bash tools/setup.sh || exit 1
        bench_measure 8 "$@"
    fi
fi
