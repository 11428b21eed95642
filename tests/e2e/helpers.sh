# Sourced by tests/e2e/run_e2e.sh and tools/run.sh: the running remote driven from outside, its
# settings in the Wine prefix, and stand-in boxes with their logs. Defines functions only.
# The caller sets driver (e2e_driver.exe), box (standin_box) and work (a folder for logs and
# pictures), and runs these inside a Wine session (tools/wine.sh); it stops the boxes with
# stop_boxes in its own clean-up.

KEY='HKCU\Software\Quillon\Halcyra Remote'  # the remote's settings
box_pids=()

# The driver's output on stdout; Wine's own chatter goes to the work log.
drv() { wine "$driver" "$@" 2>>"$work/wine.log" </dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }

# Real input: moves the X pointer onto control ID and clicks it.
click() {  # ID
    local xy
    xy=$(drv center "$1") || return 1
    # shellcheck disable=SC2086
    xdotool mousemove --sync $xy click 1
}

# The main window (or the window it owns with that caption) as the screen shows it.
shoot() {  # FILE [CAPTION]
    local left top right bottom
    read -r left top right bottom _ <<<"$(drv ${2:+--in "$2"} rect)"
    [ -n "$bottom" ] &&
        xwd -root -silent -display "$DISPLAY" |
        convert xwd:- -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$1"
}

reg_value() {  # NAME: the value's data as "wine reg query" shows it (0x... for a DWORD)
    wine reg query "$KEY" /v "$1" 2>/dev/null </dev/null | tr -d '\r' |
        awk -v name="$1" 'index($0, "    " name "    ") == 1 { sub(/^.*    REG_[A-Z_]+    /, ""); print }'
}
reg_set_dword() { wine reg add "$KEY" /v "$1" /t REG_DWORD /d "$2" /f >/dev/null 2>&1 </dev/null; }
reg_set_text() { wine reg add "$KEY" /v "$1" /d "$2" /f >/dev/null 2>&1 </dev/null; }
reg_delete_key() { wine reg delete 'HKCU\Software\Quillon' /f >/dev/null 2>&1 </dev/null; }

# The prefix made ready for the remote's window: Wine draws and activates its windows itself
# where no window manager runs (MANAGED no), and the caption buttons have their Marlett font.
prepare_prefix() {  # MANAGED: yes (a real display with its window manager) or no (Xvfb)
    if [ "$1" = no ]; then
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
    else
        wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 </dev/null
    fi
    local fonts=$WINEPREFIX/drive_c/windows/Fonts
    if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
        cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
    fi
}
# Wine's desktop process starts with the first window use and lives as long as the session; it
# is started here so that it holds no pipe of a later $(drv ...).
start_desktop() { wine "$driver" wait-gone 0 >/dev/null 2>&1 </dev/null; }

# A stand-in box on ADDRESS:8089 that logs each connection to $work/NAME.log; waits (5 s at most)
# until it listens.
start_box() {  # ADDRESS NAME [OPTION...]
    "$box" --addr "$1" --port 8089 --log "$work/$2.log" --ready-file "$work/$2.ready" \
        --idle-timeout 10000 "${@:3}" >/dev/null 2>&1 &
    box_pids+=($!)
    for _ in $(seq 1 100); do [ -f "$work/$2.ready" ] && return 0; sleep 0.05; done
    return 1
}
stop_boxes() {
    local pid
    for pid in "${box_pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
    box_pids=()
}
lines() { if [ -f "$work/$1.log" ]; then wc -l <"$work/$1.log"; else echo 0; fi; }  # NAME: connections logged
wait_lines() {  # NAME COUNT: waits up to 10 s until the box has logged COUNT connections
    for _ in $(seq 1 200); do [ "$(lines "$1")" -ge "$2" ] && return 0; sleep 0.05; done
    return 1
}
