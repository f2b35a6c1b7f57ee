# Wine's device services inside the simulated controller's testbed, so that Windows programs
# started outside the testbed, on the same wineserver, reach the virtual controller through
# wine's own HID stack (winebus.sys's udev bus, hidclass.sys), as on Windows. Shared by the
# Windows end-to-end tests, `scripts/bench wine` and `scripts/screenshots --windows`.
#
#   qtx_wine_hid_prefix DIR            use (and make once) the wine prefix DIR for such runs
#   qtx_wine_hid_start BIN SIM [OPTS]  the wineserver, then qtx-sim OPTS with wine's device
#                                      services booted inside its testbed; returns once the
#                                      Windows side (BIN/qtx-update.exe --list) sees every
#                                      controller. Sets QTX_SIM_PID.
#   qtx_wine_hid_stop                  ends wine's processes and the simulator, whose
#                                      standard error (its summary) is in $QTX_WINE_HID_LOG
# Their files go to $QTX_WINE_HID_DIR (the caller's to remove; a new folder when unset).
#
# Only wine's services run under the umockdev preload: a Windows program started inside the
# testbed aborts in it, so every program of a test runs outside, after the start.

QTX_WINE_HID_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

qtx_wine_hid_prefix() {
    export WINEPREFIX=$1 WINEARCH=win64 WINEDEBUG="${WINEDEBUG:--all}"
    export WINEDLLOVERRIDES="winedbg.exe=d;mscoree,mshtml="
    # Wine's audio on ALSA's null output: no sound card needed, and no complaint without one.
    export ALSA_CONFIG_PATH="${ALSA_CONFIG_PATH:-$QTX_WINE_HID_HERE/../tests/windows/alsa-null.conf}"
    # A folder name outside ASCII reaches wine only through a UTF-8 locale.
    export LANG=C.UTF-8 LC_ALL=
    [ -f "$WINEPREFIX/system.reg" ] && grep -q '"Enable SDL"=dword:00000000' "$WINEPREFIX/system.reg" && return 0
    mkdir -p "$WINEPREFIX"
    wine wineboot -i </dev/null >/dev/null 2>&1
    # With SDL's bus on (the default) and no libSDL2, wine 8 starts no udev bus at all.
    wine reg add 'HKLM\System\CurrentControlSet\Services\winebus' /v "Enable SDL" /t REG_DWORD /d 0 /f \
        </dev/null >/dev/null 2>&1
    wineserver -w
}

qtx_wine_hid_start() {
    local bin=$1 sim=$2 controllers=1 arg previous= k
    shift 2
    for arg in "$@"; do
        [ "$previous" = --controllers ] && controllers=$arg
        previous=$arg
    done
    QTX_WINE_HID_DIR=${QTX_WINE_HID_DIR:-$(mktemp -d)}
    QTX_WINE_HID_LOG=$QTX_WINE_HID_DIR/sim.log
    rm -f "$QTX_WINE_HID_DIR/program.pid"
    # The wineserver first, outside the testbed, detached (its children must not hold our pipes).
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
    setsid wineserver -p </dev/null >/dev/null 2>&1 &
    # The simulator's program boots wine inside the testbed, so services.exe and winedevice.exe
    # inherit LD_PRELOAD and UMOCKDEV_DIR, then says so (its pid) and waits to be ended.
    "$sim" "$@" -- sh -c 'wine wineboot </dev/null >/dev/null 2>&1; echo $$ > "$1.part"; mv "$1.part" "$1"; exec sleep 100000' \
        sh "$QTX_WINE_HID_DIR/program.pid" 2>"$QTX_WINE_HID_LOG" &
    QTX_SIM_PID=$!
    for k in $(seq 600); do
        [ -f "$QTX_WINE_HID_DIR/program.pid" ] && break
        kill -0 "$QTX_SIM_PID" 2>/dev/null || { cat "$QTX_WINE_HID_LOG" >&2; return 1; }
        sleep 0.1
    done
    [ "$controllers" -eq 0 ] && return 0
    for k in $(seq 100); do
        [ "$(wine "$bin/qtx-update.exe" --list 2>/dev/null | grep -c QTX-ORB9)" -ge "$controllers" ] && return 0
        sleep 0.2
    done
    echo "wine's HID bus never showed $controllers controller(s)" >&2
    return 1
}

qtx_wine_hid_stop() {
    [ -n "${QTX_SIM_PID:-}" ] || return 0
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
    [ -f "$QTX_WINE_HID_DIR/program.pid" ] && kill "$(cat "$QTX_WINE_HID_DIR/program.pid")" 2>/dev/null
    wait "$QTX_SIM_PID" 2>/dev/null || true
    QTX_SIM_PID=
}
