#!/usr/bin/env bash
# End to end under wine, through wine's own HID stack: wine's device services run inside the
# simulated controller's testbed (scripts/wine-hid.sh), the Windows programs outside it.
#   wine-e2e.sh SCENARIO      paths in QTX_BIN, QTX_SRC, QTX_SIM, QTX_HID_PREFIX, QTX_SHOTS
#   window-update   QtxUpdate.exe from a folder named in Cyrillic, Chinese and an accent: Ready
#                   with "Current Version: Ver. 1.02", an unplug and a replug, a whole update
#                   to Complete with the blocks received byte for byte, "OK" ends it
#   library, no-answer   wine_hid_tests.exe's suites: an unplug, and a failed transfer
#   cli             qtx-update.exe: --check --json --wait (plugged in during the wait, nothing
#                   sent), 4 with none, 3 for a bad package named in Cyrillic and Chinese
#   cli-console-closed   the console closed during a chunk's wait (console_close.exe): 130
#                   before the handler returns, nothing more reaches the controller
#   window-hidpi    at 200%: style, size, Ready, Updating, Complete; docs/screenshots/hidpi-windows-*
# What the window shows is read back from the screen (tesseract); its trace (OutputDebugStringA,
# through wine's debugstr channel) is printed when a step fails.
set -euo pipefail
scenario=$1
. "$QTX_SRC/scripts/wine-hid.sh"
. "$QTX_SRC/scripts/xsession.sh"
work=$(mktemp -d)
QTX_WINE_HID_DIR=$work
# The clean-up cannot fail a passed run.
trap '[ -z "${program:-}" ] || kill "$program" 2>/dev/null; [ -z "${hidpi:-}" ] || wine reg delete "$hidpi" /v LogPixels /f >/dev/null 2>&1; qtx_wine_hid_stop || true; qtx_x_stop; rm -rf "$work"' EXIT
qtx_x_start # before wine starts: all of its processes on one private display
qtx_wine_hid_prefix "$QTX_HID_PREFIX"
bin=$QTX_BIN
unicode="$work/Дмитрий 下载 Réglages" folder="$work/plain"
mkdir -p "$unicode" "$folder" "$QTX_SHOTS"

fail() {
    echo "FAIL: $*"
    [ -s "$work/trace" ] && sed -n 's/.*OutputDebugString[AW] L\?"\(.*\)\\n"$/trace: \1/p' "$work/trace" | tail -15
    [ -s "${QTX_WINE_HID_LOG:-}" ] && grep '^qtx-sim:' "$QTX_WINE_HID_LOG"
    exit 1
}

# The Windows name of a file, through wine's drive Z: (the Unix root).
windows_path() { echo "Z:${1//\//\\}"; }

# sim OPTIONS...: the simulator with wine's services in its testbed; the sample package (and
# what its update blocks send) built by the Windows tools.
sim() {
    qtx_wine_hid_start "$bin" "$QTX_SIM" --record "$work/received" "$@" || fail "wine's HID bus did not start"
    [ -f "$work/sent" ] && return
    wine "$bin/qtx-package.exe" build "$(windows_path "$QTX_SRC/tools/qtx-package/sample/sample.manifest")" \
        "$(windows_path "$work/QTX-ORB9_UP.upd")" >/dev/null
    wine "$bin/qtx-package.exe" blocks "$(windows_path "$work/QTX-ORB9_UP.upd")" "$(windows_path "$work/sent")" >/dev/null
    for f in "$unicode" "$folder"; do
        cp "$bin/QtxUpdate.exe" "$bin/qtx-update.exe" "$bin/devlink.dll" "$work/QTX-ORB9_UP.upd" "$f/"
    done
}

# blocks_arrived: the simulator got exactly the package's update blocks.
blocks_arrived() {
    qtx_wine_hid_stop
    grep -q 'update complete, all CRC-16s match' "$QTX_WINE_HID_LOG" || fail "the simulator saw no complete update"
    cmp "$work/sent" "$work/received" || fail "the received blocks differ from the package's"
}

# json_is FILE STATUS OUTCOME DECISION VERSION: FILE (qtx-update.exe's standard output) is one
# JSON document and nothing else, with these values (VERSION the controller's; "" for none).
json_is() {
    python3 - "$@" <<'EOF' || fail "$(cat "$1")"
import json, sys
path, status, outcome, decision, version = sys.argv[1:]
d = json.load(open(path, encoding="utf-8"))
got = (d["exitStatus"], d["outcome"], d["decision"] or "", (d["controller"] or {}).get("version", ""))
want = (int(status), outcome, decision, version)
sys.exit(0 if got == want else f"JSON {got}, not {want}")
EOF
}

# update_exe STATUS ARGS...: qtx-update.exe ARGS from the plain folder ends with STATUS; its
# standard output in $work/out, its standard error in $work/err.
update_exe() {
    local want=$1 status
    shift
    (cd "$folder" && wine qtx-update.exe "$@") >"$work/out" 2>"$work/err" && status=0 || status=$?
    [ "$status" -eq "$want" ] || fail "qtx-update.exe $*: $status, not $want ($(cat "$work/err"))"
}

# start_window [FOLDER]: QtxUpdate.exe from FOLDER (the plain one) on the private X server,
# photographed and clicked at client coordinates; wine draws its frame, as Windows does. Its
# style and its size at the screen's scale are window_style_probe's to check.
start_window() {
    command -v tesseract >/dev/null || fail "tesseract is missing (scripts/setup --windows installs it)"
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    (cd "${1:-$folder}" && WINEDEBUG=-all,warn+debugstr exec wine QtxUpdate.exe) >/dev/null 2>"$work/trace" &
    program=$!
    for _ in $(seq 300); do
        win=$(xdotool search --onlyvisible --name '^Updater Program$' 2>/dev/null | head -n 1) && [ -n "$win" ] && break
        sleep 0.1
    done
    [ -n "${win:-}" ] || fail "no window"
    sleep 1
    offsets=$(wine "$bin/window_style_probe.exe" --dpi $((96 * scale)) | tr -d '\r') || fail "the window's style"
    read -r client_x client_y <<<"$offsets"
}
scale=1 # device pixels per logical pixel
click() { qtx_x_click "$win" "$(($1 * scale + client_x))" "$(($2 * scale + client_y))"; }
ok_or_start() { click 356 146; }

# shows TEXT SECONDS [SHOT]: waits until the window shows TEXT, read back from the screen.
shows() {
    local end=$((SECONDS + $2))
    while [ $SECONDS -le $end ]; do
        qtx_x_shot "$win" "$work/screen.png"
        convert "$work/screen.png" -resize 300% -colorspace Gray "$work/ocr.png"
        if tesseract "$work/ocr.png" - 2>/dev/null | tr '\n' ' ' | grep -qF "$1"; then
            [ -z "${3:-}" ] || cp "$work/screen.png" "$QTX_SHOTS/$3.png"
            return 0
        fi
        sleep 0.5
    done
    fail "the window did not show \"$1\" within $2 s (it shows: $(tesseract "$work/ocr.png" - 2>/dev/null | tr '\n' ' '))"
}

# ends: "OK" ends the program, with status 0.
ends() {
    ok_or_start
    for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$program" 2>/dev/null && fail "OK did not end the program"
    wait "$program" || fail "the program exited with $?"
    program=
}

case $scenario in
    window-update)
        sim
        start_window "$unicode"
        ok_or_start
        shows "Current Version: Ver. 1.02" 20 windows-en-ready
        # Outside an update the screen follows the controller's notices (RegisterDeviceNotificationA).
        kill -USR1 "$QTX_SIM_PID"
        shows "is not recognized" 20
        kill -USR2 "$QTX_SIM_PID"
        shows "Current Version: Ver. 1.02" 20
        ok_or_start
        shows "is now complete" 60 windows-en-complete
        ends
        blocks_arrived
        ;;
    library)
        sim --controllers 2 --unplug-at mode:2=1500
        wine "$bin/wine_hid_tests.exe" --gtest_filter='HidUnderWine.*' || fail "wine_hid_tests.exe"
        qtx_wine_hid_stop
        grep -q refused "$QTX_WINE_HID_LOG" && fail "writes without report ID 0 and 64 bytes"
        ;;
    no-answer)
        sim --silent-at data:3
        wine "$bin/wine_hid_tests.exe" --gtest_filter='NoAnswer.*' || fail "wine_hid_tests.exe"
        ;;
    cli)
        # An older controller (1.02; the package is 1.23) plugged in a second into the wait.
        sim
        kill -USR1 "$QTX_SIM_PID"
        for _ in $(seq 100); do
            wine "$bin/qtx-update.exe" --list >"$work/out"
            grep -q QTX-ORB9 "$work/out" || break
            sleep 0.2
        done
        (cd "$folder" && wine qtx-update.exe --check --json --wait 60) >"$work/out" 2>"$work/err" &
        checker=$!
        for _ in $(seq 300); do grep -q "waiting up to 60 s" "$work/err" && break; sleep 0.1; done
        sleep 1
        kill -USR2 "$QTX_SIM_PID"
        wait "$checker" && status=0 || status=$?
        [ "$status" -eq 0 ] || fail "qtx-update.exe --check --wait: $status, not 0 ($(cat "$work/err"))"
        grep -q "waiting up to 60 s" "$work/err" || fail "the check did not wait: $(cat "$work/err")"
        json_is "$work/out" 0 update-due update 1.02
        qtx_wine_hid_stop
        grep -q 'qtx-sim: 0 commands' "$QTX_WINE_HID_LOG" || fail "$(grep '^qtx-sim:' "$QTX_WINE_HID_LOG")"
        sim --controllers 0
        update_exe 4 --check --json --wait 2
        json_is "$work/out" 4 no-controller "" ""
        # A bad package named in UTF-8 on the command line: its name comes through whole.
        head -c 100 "$work/QTX-ORB9_UP.upd" >"$unicode/bad.upd"
        update_exe 3 --yes "$(windows_path "$unicode/bad.upd")"
        grep -qF "Дмитрий 下载 Réglages" "$work/err" || fail "the package's name was mangled: $(cat "$work/err")"
        ;;
    cli-console-closed)
        sim --silent-at data:2
        (cd "$folder" && exec wine qtx-update.exe --yes) >"$work/out" 2>&1 &
        program=$!
        for _ in $(seq 300); do [ "$(grep -c '^send HID' "$work/out")" -ge 5 ] && break; sleep 0.1; done
        wine "$bin/console_close.exe" qtx-update.exe && closed=0 || closed=$?
        wait "$program" && status=0 || status=$?
        program=
        [ "$closed" -eq 0 ] || fail "the console's closing cut qtx-update.exe short"
        [ "$status" -eq 130 ] || fail "qtx-update.exe with its console closed: $status, not 130 ($(cat "$work/out"))"
        qtx_wine_hid_stop
        grep -q 'qtx-sim: 5 commands' "$QTX_WINE_HID_LOG" || fail "$(grep '^qtx-sim:' "$QTX_WINE_HID_LOG")"
        ;;
    window-hidpi)
        sim --delay-us 150000 # about 17 s of Updating, to be photographed on its way
        hidpi='HKCU\Control Panel\Desktop' scale=2
        wine reg add "$hidpi" /v LogPixels /t REG_DWORD /d 192 /f >/dev/null 2>&1
        start_window
        ok_or_start
        shows "Current Version: Ver. 1.02" 20 hidpi-windows-ready
        ok_or_start
        shows "Updating your" 20
        sleep 3 # into the blocks, so the bar shows some progress
        shows "Updating your" 5 hidpi-windows-updating
        shows "is now complete" 120
        ends
        ;;
    *) fail "no scenario $scenario" ;;
esac
echo "PASS: $scenario"
