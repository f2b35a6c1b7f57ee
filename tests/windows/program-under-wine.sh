#!/usr/bin/env bash
# QtxUpdate.exe under wine on the X server of scripts/test --windows: it starts with the
# sample package beside it, shows its window, keeps a second copy from showing another,
# and ends through its buttons ("OK" on the language screen, then "Close" on the
# not-recognised screen, as wine has no controller). Pictures go to SHOTS.
#   program-under-wine.sh BIN_DIR SOURCE_DIR SHOTS
set -euo pipefail
bin=$1 src=$2 shots=$3
. "$src/scripts/xsession.sh"
[ -n "${DISPLAY:-}" ] || { echo "no X display (run through scripts/test --windows)"; exit 1; }

work=$(mktemp -d)
mkdir -p "$shots"
trap 'kill "${pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$bin/QtxUpdate.exe" "$bin/devlink.dll" "$work/"
wine "$bin/qtx-package.exe" build "$(winepath -w "$src/tools/qtx-package/sample/sample.manifest")" \
    "$(winepath -w "$work/QTX-ORB9_UP.upd")" >/dev/null

find_window() {
    local id
    for _ in $(seq 300); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) || true
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

(cd "$work" && exec wine QtxUpdate.exe) &
pid=$!
win=$(find_window "Updater Program") || { echo "FAIL: no window"; exit 1; }
sleep 2
qtx_x_shot "$win" "$shots/windows-1-select-language.png"

# A second copy hands over to the first and ends without a window of its own.
(cd "$work" && timeout 60 wine QtxUpdate.exe) || { echo "FAIL: the second copy did not end cleanly"; exit 1; }
count=$(xdotool search --onlyvisible --name "^Updater Program\$" 2>/dev/null | wc -l)
[ "$count" -eq 1 ] || { echo "FAIL: $count windows after a second start"; exit 1; }

ok=356,146 # the right-hand button: "OK" here, then "Close"
qtx_x_click "$win" "${ok%,*}" "${ok#*,}"
sleep 2
qtx_x_shot "$win" "$shots/windows-2-not-recognised.png"
kill -0 "$pid" 2>/dev/null || { echo "FAIL: the program ended on OK"; exit 1; }
qtx_x_click "$win" "${ok%,*}" "${ok#*,}"
for _ in $(seq 200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
    echo "FAIL: Close did not end the program"
    exit 1
fi
wait "$pid" || { echo "FAIL: the program exited with $?"; exit 1; }
pid=
echo "pictures in $shots"
