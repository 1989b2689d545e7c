# shellcheck shell=bash
# Driving qm5083-bench as a person would, in a private X server. Sourced by tests/e2e/e2e_test.sh
# and scripts/screenshot.sh.
#
# Where to click comes from the program itself: --print-layout lists the window and each control
# with its position and size in pixels, relative to the window's client area, as the program lays
# them out on this display.
#
# Needs: Xvfb, xauth, xdotool, xclip.

XDO_LAYOUT=""

XDO_XVFB_PID=""
XDO_WATCHDOG_PID=""
XDO_WINDOW=""

xdo_log() {
    echo "xdo: $*" >&2
}

# Milliseconds of the wall clock.
xdo_now_ms() {
    local us=${EPOCHREALTIME/[.,]/}
    echo $((us / 1000))
}

# Polls a command every 50 ms until it succeeds or the seconds (a whole number) run out.
xdo_wait_for() {
    local deadline=$(($(xdo_now_ms) + $1 * 1000))
    shift
    until "$@"; do
        (($(xdo_now_ms) < deadline)) || return 1
        sleep 0.05
    done
}

# Starts Xvfb on the first free display with a cookie only this script knows, and points DISPLAY,
# XAUTHORITY and the program's Qt platform at it. Leaves the server's pid in XDO_XVFB_PID.
xdo_start_x() {
    local dir=$1
    local cookie
    cookie=$(mcookie) || return 1
    export XAUTHORITY="$dir/Xauthority"
    : >"$XAUTHORITY"
    # A wildcard entry (any address, any display number): the display is chosen by the server.
    echo "ffff 0000  0000  0012 4d49542d4d414749432d434f4f4b49452d31 0010 $cookie" |
        xauth -q -f "$XAUTHORITY" nmerge - || return 1
    Xvfb -displayfd 3 -auth "$XAUTHORITY" -nolisten tcp -noreset -dpi 96 \
        -screen 0 1024x768x24 3>"$dir/display" </dev/null >"$dir/xvfb.log" 2>&1 &
    XDO_XVFB_PID=$!
    # Should this script be killed before its clean-up runs, the server goes too (and with it the
    # program, which cannot live without its display).
    (
        while kill -0 $$ 2>/dev/null; do sleep 1; done
        kill "$XDO_XVFB_PID" 2>/dev/null
    ) </dev/null >/dev/null 2>&1 &
    XDO_WATCHDOG_PID=$!
    if ! xdo_wait_for 15 test -s "$dir/display"; then
        xdo_log "Xvfb did not report a display within 15 s:"
        cat "$dir/xvfb.log" >&2
        return 1
    fi
    DISPLAY=":$(tr -d '[:space:]' <"$dir/display")"
    export DISPLAY
    export QT_QPA_PLATFORM=xcb
    unset WAYLAND_DISPLAY
    mkdir -p "$dir/runtime"
    chmod 700 "$dir/runtime"
    export XDG_RUNTIME_DIR="$dir/runtime" XDG_DATA_HOME="$dir/data"
}

xdo_stop_x() {
    if [ -n "$XDO_WATCHDOG_PID" ]; then
        kill "$XDO_WATCHDOG_PID" 2>/dev/null || true
        wait "$XDO_WATCHDOG_PID" 2>/dev/null || true
        XDO_WATCHDOG_PID=""
    fi
    if [ -n "$XDO_XVFB_PID" ]; then
        kill "$XDO_XVFB_PID" 2>/dev/null || true
        wait "$XDO_XVFB_PID" 2>/dev/null || true
        XDO_XVFB_PID=""
    fi
}

# The visible top-level windows whose title starts with "qm5083" (the main window, and the error
# report, which has the same title).
xdo_program_windows() {
    xdotool search --onlyvisible --name '^qm5083' 2>/dev/null
}

# Whether process PID is running: an ended child stays a zombie until waited for, and a zombie
# still answers kill -0.
xdo_process_running() {
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    stat=${stat##*) }
    [ "${stat%% *}" != Z ]
}

# Waits for the main window of program PID to be shown, then records its id and geometry.
xdo_find_window() {
    local seconds=$1 pid=$2
    local deadline=$(($(xdo_now_ms) + seconds * 1000))
    XDO_WINDOW=""
    until XDO_WINDOW=$(timeout 1 xdotool search --sync --onlyvisible --name '^qm5083' 2>/dev/null |
        head -n 1) && [ -n "$XDO_WINDOW" ]; do
        if ! xdo_process_running "$pid"; then
            xdo_log "the program ended before its window appeared"
            return 1
        fi
        if (($(xdo_now_ms) >= deadline)); then
            xdo_log "no window titled qm5083... appeared within $seconds s"
            return 1
        fi
    done
    # shellcheck disable=SC2034 # all set by the eval, not all used
    local WINDOW X Y WIDTH HEIGHT SCREEN
    eval "$(xdotool getwindowgeometry --shell "$XDO_WINDOW")"
    XDO_WIN_X=$X
    XDO_WIN_Y=$Y
    XDO_WIN_W=$WIDTH
    XDO_WIN_H=$HEIGHT
    local name x y w h rest
    read -r name x y w h rest <<<"$(head -n 1 "$XDO_LAYOUT")"
    if [ "$XDO_WIN_W" != "$w" ] || [ "$XDO_WIN_H" != "$h" ]; then
        xdo_log "window is ${XDO_WIN_W}x$XDO_WIN_H pixels, not the ${w}x$h it was laid out at"
        return 1
    fi
}

# Asks PROGRAM for its layout on this display (--print-layout), kept in DIR/layout.
xdo_load_layout() {
    local program=$1 dir=$2
    XDO_LAYOUT="$dir/layout"
    if ! "$program" --simulate --print-layout >"$XDO_LAYOUT" 2>"$dir/layout.err" ||
        [ ! -s "$XDO_LAYOUT" ]; then
        xdo_log "$program --print-layout failed:"
        cat "$dir/layout.err" >&2
        return 1
    fi
}

# "x y" on the screen of the middle of control NAME.
xdo_control_center() {
    local name x y w h rest
    read -r name x y w h rest <<<"$(LC_ALL=C awk -v n="$1" '$1 == n' "$XDO_LAYOUT")"
    if [ -z "$h" ]; then
        xdo_log "the program's layout has no control $1"
        return 1
    fi
    # Controls are placed in the form, below the menu bar.
    local form_x form_y
    read -r _ form_x form_y _ <<<"$(LC_ALL=C awk '$1 == "form"' "$XDO_LAYOUT")"
    echo "$((XDO_WIN_X + ${form_x:-0} + x + w / 2)) $((XDO_WIN_Y + ${form_y:-0} + y + h / 2))"
}

xdo_click() {
    local x y
    read -r x y <<<"$(xdo_control_center "$1")"
    [ -n "$y" ] || return 1
    xdotool mousemove --sync "$x" "$y" click 1
}

# Clicks into a text box, selects its text and types TEXT over it.
xdo_type_into() {
    local name=$1 text=$2
    xdo_click "$name" || return 1
    xdotool key --clearmodifiers ctrl+a || return 1
    if [ -n "$text" ]; then
        xdotool type --delay 15 -- "$text"
    else
        xdotool key BackSpace
    fi
}

# What the clipboard holds; empty when nothing can be read.
xdo_clipboard() {
    timeout 2 xclip -o -selection clipboard 2>/dev/null
}

xdo_clipboard_is() {
    [ "$(xdo_clipboard)" = "$1" ]
}

# Puts a text on the clipboard that no box holds, so that a copy that did not happen is not
# mistaken for a box's text. xclip keeps serving it until the program takes the clipboard.
xdo_clipboard_sentinel() {
    local sentinel="xdo-sentinel-$RANDOM$RANDOM"
    printf '%s' "$sentinel" | xclip -i -selection clipboard >/dev/null 2>&1
    xdo_wait_for 2 xdo_clipboard_is "$sentinel" || return 1
    echo "$sentinel"
}

# Copies what the focused box holds (ctrl+a, ctrl+c) and prints it.
xdo_copy_focused() {
    local sentinel
    sentinel=$(xdo_clipboard_sentinel) || return 1
    xdotool key --clearmodifiers ctrl+a ctrl+c || return 1
    local text deadline=$(($(xdo_now_ms) + 1500))
    until text=$(xdo_clipboard) && [ "$text" != "$sentinel" ]; do
        (($(xdo_now_ms) < deadline)) || return 1
        sleep 0.05
    done
    printf '%s\n' "$text"
}

# Clicks into a text box and prints its text, read back through the clipboard. A tick that
# resets an input box between the selection and the copy clears the selection, hence the retries.
xdo_read_box() {
    local name=$1 attempt
    for attempt in 1 2 3; do
        xdo_click "$name" || return 1
        if xdo_copy_focused; then
            return 0
        fi
        xdo_log "copying the text of $name failed (try $attempt of 3)"
    done
    xdo_log "could not copy the text of $name through the clipboard"
    return 1
}

# Prints the texts a person can select in a window (a message box's labels), one a line, top to
# bottom, stopping after COUNT texts: triple-clicks down the window's middle, copying each
# selection. Positions that hold no text copy nothing, so each try waits only briefly.
xdo_read_window_texts() {
    local window=$1 count=$2
    # shellcheck disable=SC2034 # all set by the eval, not all used
    local WINDOW X Y WIDTH HEIGHT SCREEN
    eval "$(xdotool getwindowgeometry --shell "$window")"
    local dy text last="" found=0 sentinel deadline
    for ((dy = 4; dy < HEIGHT * 3 / 4 && found < count; dy += 6)); do
        sentinel=$(xdo_clipboard_sentinel) || return 1
        xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + dy)) click --repeat 3 --delay 40 1 \
            key --clearmodifiers ctrl+c || return 1
        deadline=$(($(xdo_now_ms) + 300))
        until text=$(xdo_clipboard) && [ "$text" != "$sentinel" ]; do
            (($(xdo_now_ms) < deadline)) || break
            sleep 0.03
        done
        if [ "$text" != "$sentinel" ] && [ -n "$text" ] && [ "$text" != "$last" ]; then
            printf '%s\n' "$text"
            last=$text
            found=$((found + 1))
        fi
    done
}
