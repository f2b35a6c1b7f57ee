# Shared by scripts/screenshots, scripts/demo and the startup benchmark: a private
# X server with a light window manager, and helpers to find and photograph a window.

# qtx_x_start [with_wm]: starts Xvfb on a free display (and IceWM unless "bare"); sets DISPLAY.
# QTX_X_DPI, when set, is the screen's DPI (192: a monitor at 200 %, where IceWM's
# title bar grows too: settings in icewm/200/).
# IceWM draws only the title-bar buttons that a window's hints allow, as common
# desktops do; with this project's settings (scripts/icewm/) nothing else.
qtx_x_start() {
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 ${QTX_X_DPI:+-dpi "$QTX_X_DPI"} -nolisten tcp -noreset \
        3>"$fifo" >/dev/null 2>&1 &
    QTX_XVFB_PID=$!
    local number
    read -r -t 20 number <"$fifo" || { echo "Xvfb did not start" >&2; rm -f "$fifo"; return 1; }
    rm -f "$fifo"
    export DISPLAY=":$number"
    QTX_WM_PID=
    if [ "${1:-wm}" != bare ]; then
        local config
        config="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/icewm"
        [ "${QTX_X_DPI:-96}" -ge 192 ] && config="$config/200"
        ICEWM_PRIVCFG="$config" icewm >/dev/null 2>&1 &
        QTX_WM_PID=$!
        for _ in $(seq 100); do
            xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && return 0
            sleep 0.05
        done
        echo "the window manager did not start" >&2
        return 1
    fi
}

qtx_x_stop() {
    [ -n "${QTX_WM_PID:-}" ] && kill "$QTX_WM_PID" 2>/dev/null && wait "$QTX_WM_PID" 2>/dev/null
    [ -n "${QTX_XVFB_PID:-}" ] && kill "$QTX_XVFB_PID" 2>/dev/null && wait "$QTX_XVFB_PID" 2>/dev/null
    QTX_WM_PID= QTX_XVFB_PID=
    return 0
}

# qtx_x_window CLASS [SECONDS]: prints the id of the first visible window of that WM_CLASS
# once the window manager has framed it.
qtx_x_window() {
    local tries=$(( ${2:-20} * 10 )) id
    for _ in $(seq "$tries"); do
        id=$(xdotool search --onlyvisible --class "^$1\$" 2>/dev/null | head -n 1) || true
        if [ -n "$id" ] && ! xprop -id "$id" _NET_FRAME_EXTENTS | grep -q "="; then id=; fi
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

# qtx_x_click WINDOW X Y: a left click at client coordinates.
qtx_x_click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
    xdotool mousemove 1000 760 # out of the way, so no hover state is photographed
}

# qtx_x_keys WINDOW ACTION...: real key events (XTest) into the window, which is made
# active first; ACTIONs are xdotool's ("key Tab space", "keydown Return sleep 1 keyup Return").
qtx_x_keys() {
    local window=$1; shift
    xdotool windowactivate --sync "$window" "$@"
}

# qtx_x_shot WINDOW FILE [EXTRA_BELOW]: the window with its title bar and frame.
qtx_x_shot() {
    local x y w h l r t b
    eval "$(xwininfo -id "$1" | awk '/Absolute upper-left X/ {print "x=" $4} /Absolute upper-left Y/ {print "y=" $4}
                                      /Width:/ {print "w=" $2} /Height:/ {print "h=" $2}')"
    read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
    import -silent -window root -crop "$((w + l + r))x$((h + t + b + ${3:-0}))+$((x - l))+$((y - t))" +repage "$2"
}
