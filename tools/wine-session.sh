# Sourced by scripts that run Windows programs: gives them a Wine prefix of their own,
# one persistent wineserver and an Xvfb display, and stops all of it on exit.
# Usage: source tools/wine-session.sh PREFIX_DIR
# HALCYRA_SCREEN sets the Xvfb screen (default 1024x768x24). The Wine and the build it runs come
# from tools/wine-build.sh (sourced here when the caller has not).
[ -n "${win_build:-}" ] || source "$(dirname "${BASH_SOURCE[0]}")/wine-build.sh"
_ws_prefix=$1
mkdir -p "$_ws_prefix"
export WINEPREFIX=$(cd "$_ws_prefix" && pwd)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=$win_arch

_ws_xvfb_pid=
if [ -z "${DISPLAY:-}" ] || [ "${HALCYRA_OWN_DISPLAY:-1}" = 1 ]; then
    for n in $(seq 90 199); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 "${HALCYRA_SCREEN:-1024x768x24}" -nolisten tcp >/dev/null 2>&1 &
        _ws_xvfb_pid=$!
        for _ in $(seq 1 100); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            sleep 0.05
        done
        export DISPLAY=":$n"
        break
    done
fi

wine_session_stop() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "$_ws_xvfb_pid" ]; then kill "$_ws_xvfb_pid" 2>/dev/null || true; wait "$_ws_xvfb_pid" 2>/dev/null || true; fi
}
trap wine_session_stop EXIT

# One wineserver for the whole run, and Wine's own services started now, with no pipe of ours:
# started later by a test program, they would inherit its output and keep a reader such as CTest
# waiting until they exit.
wine_session_start_services() {
    wineserver -p60 >/dev/null 2>&1 </dev/null
    wine wineboot >/dev/null 2>&1 </dev/null
}

# After settings that Wine's services read at their start (the display's dpi): the services
# start again, so every program sees one set of settings, as on a system that was restarted.
wine_session_restart() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    wine_session_start_services
}

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineserver -p60 >/dev/null 2>&1 </dev/null
    wine wineboot -i >/dev/null 2>&1 </dev/null
    # A crashing program ends at once instead of waiting on Wine's debugger.
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 1 /f >/dev/null 2>&1 </dev/null
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d false /f >/dev/null 2>&1 </dev/null
else
    wine_session_start_services
fi
