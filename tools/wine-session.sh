# Sourced by scripts that run Windows programs: gives them a Wine prefix of their own,
# one persistent wineserver and an Xvfb display, and stops all of it on exit.
# Usage: source tools/wine-session.sh PREFIX_DIR
# HALCYRA_SCREEN sets the Xvfb screen (default 1024x768x24).
_ws_prefix=$1
mkdir -p "$_ws_prefix"
export WINEPREFIX=$(cd "$_ws_prefix" && pwd)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=${HALCYRA_WINEARCH:-win32}

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

# One wineserver for the whole run; its output must not hold a caller's pipe open.
wineserver -p60 >/dev/null 2>&1 </dev/null
# Start Wine's own services now, with no pipe of ours: started later by a test program, they
# would inherit its output and keep a reader such as CTest waiting until they exit.
if [ -f "$WINEPREFIX/system.reg" ]; then
    wine wineboot >/dev/null 2>&1 </dev/null
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wine wineboot -i >/dev/null 2>&1 </dev/null
    # A crashing program ends at once instead of waiting on Wine's debugger.
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 1 /f >/dev/null 2>&1 </dev/null
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d false /f >/dev/null 2>&1 </dev/null
fi
