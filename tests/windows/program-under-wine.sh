#!/usr/bin/env bash
# QtxUpdate.exe under wine, unpacked from the zip a user gets into a folder named in Cyrillic,
# Chinese and an accent: it starts in the user's language, has its window's style and size
# (window_style_probe), keeps a second copy from showing another, and ends through "OK" then
# "Close" (no controller); the English screen must match docs/screenshots (a package read
# through the wrong code page shows the package error). Pictures go to SHOTS.
#   program-under-wine.sh BIN_DIR SOURCE_DIR SHOTS VERSION
set -euo pipefail
bin=$1 src=$2 shots=$3 version=$4
. "$src/scripts/xsession.sh"
[ -n "${DISPLAY:-}" ] || { echo "no X display (run through scripts/test --windows)"; exit 1; }

tmp=$(mktemp -d)
mkdir -p "$shots"
# Wine draws the window's frame itself, from the window's own style, as Windows does. Left to
# the window manager, openbox would add its minimise, maximise and close buttons to any
# window with a caption (it ignores the hints that wine gives it for them). Windows draws a
# Japanese caption in "MS UI Gothic"; wine has no such font, so a CJK font stands in for it.
x11='HKCU\Software\Wine\X11 Driver' fonts='HKCU\Software\Wine\Fonts\Replacements'
wine reg add "$x11" /v Decorated /d N /f >/dev/null 2>&1
wine reg add "$fonts" /v 'MS UI Gothic' /d 'Noto Sans CJK JP' /f >/dev/null 2>&1
# Runs from the exit trap: a failed clean-up must not turn a passed run into a failure.
restore_wine() {
    wine reg delete "$x11" /v Decorated /f >/dev/null 2>&1 || true
    wine reg delete "$fonts" /v 'MS UI Gothic' /f >/dev/null 2>&1 || true
}
trap 'kill "${pid:-}" 2>/dev/null || true; rm -rf "$tmp"; restore_wine' EXIT
wine "$bin/qtx-package.exe" build "$(winepath -w "$src/tools/qtx-package/sample/sample.manifest")" \
    "$(winepath -w "$tmp/QTX-ORB9_UP.upd")" >/dev/null
# The program runs as a user gets it: from the zip of scripts/package --windows, unpacked.
cmake -DBIN="$bin" -DOUT="$tmp/QtxUpdate.zip" -DVERSION="$version" -DUPDATE_PACKAGE="$tmp/QTX-ORB9_UP.upd" \
    -DSTRIP=x86_64-w64-mingw32-strip -P "$src/packaging/windows/zip.cmake"
# Wine opens a folder named beyond ASCII only in a UTF-8 locale, and this machine has no
# Japanese one: the Japanese run starts from a plain folder.
unicode="$tmp/Дмитрий 下载 é" plain="$tmp/plain"
for work in "$unicode" "$plain"; do
    mkdir -p "$work"
    (cd "$work" && cmake -E tar xf "$tmp/QtxUpdate.zip" && mv QtxUpdate/* . && rmdir QtxUpdate)
done
# The read-me is there, every line of it ending in CR LF, for Notepad. (Without the program,
# its library or the package the runs below fail.)
readme="$plain/ReadMe.txt"
[ -s "$readme" ] && [ "$(grep -c $'\r$' "$readme")" = "$(wc -l <"$readme")" ] || { echo "FAIL: the read-me"; exit 1; }

# find_window TITLE: the visible window of that exact title (compared as bytes, since
# xdotool's own pattern matching does not take every UTF-8 title).
find_window() {
    local id
    for _ in $(seq 300); do
        for id in $(xdotool search --onlyvisible --name . 2>/dev/null); do
            [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] && { echo "$id"; return 0; }
        done
        sleep 0.1
    done
    return 1
}

# run_to_end TITLE SHOT_PREFIX [VAR=VALUE...]: starts the program, waits for its window
# titled TITLE (text 3 of the language it starts in), checks its style and its size, asks
# it to close (which must change nothing),
# photographs it, presses "OK" (to the not-recognised screen), photographs again, presses
# "Close" and waits for the end.
ok_x=356 ok_y=146 # the right-hand button in the client area: "OK", then "Close"
run_to_end() {
    local title=$1 prefix=$2 win offsets client_x client_y
    shift 2
    program_env=("$@")
    (cd "$work" && exec env "$@" wine QtxUpdate.exe) &
    pid=$!
    win=$(find_window "$title") || { echo "FAIL: no window titled $title"; exit 1; }
    sleep 2
    offsets=$(wine "$bin/window_style_probe.exe" --close | tr -d '\r') || { echo "FAIL: the window's style"; exit 1; }
    read -r client_x client_y <<<"$offsets"
    sleep 1
    kill -0 "$pid" 2>/dev/null || { echo "FAIL: a close request ended the program"; exit 1; }
    qtx_x_shot "$win" "$shots/$prefix-select-language.png"
    [ -z "${check_second_copy:-}" ] || second_copy
    qtx_x_click "$win" "$((ok_x + client_x))" "$((ok_y + client_y))"
    sleep 2
    qtx_x_shot "$win" "$shots/$prefix-not-recognised.png"
    kill -0 "$pid" 2>/dev/null || { echo "FAIL: the program ended on OK"; exit 1; }
    [ -z "${expect_screen:-}" ] || same_client_area "$shots/$prefix-not-recognised.png" "$expect_screen" \
        "$client_x" "$client_y" || { echo "FAIL: not the screen of $expect_screen"; exit 1; }
    qtx_x_click "$win" "$((ok_x + client_x))" "$((ok_y + client_y))"
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
}

# same_client_area SHOT REFERENCE X Y: the 426 x 176 client areas at X,Y of the two pictures match.
same_client_area() {
    local crop=(-crop "426x176+$3+$4" +repage) differing
    convert "$1" "${crop[@]}" "$tmp/shot.png" && convert "$2" "${crop[@]}" "$tmp/reference.png"
    differing=$(compare -metric AE "$tmp/shot.png" "$tmp/reference.png" null: 2>&1) || true
    echo "$differing pixels differ from $2"
    [ "$differing" = 0 ]
}

# A second copy hands over to the first and ends without a window of its own.
second_copy() {
    (cd "$work" && exec env "${program_env[@]}" timeout 60 wine QtxUpdate.exe) || { echo "FAIL: the second copy did not end cleanly"; exit 1; }
    local count
    count=$(xdotool search --onlyvisible --name "^Updater Program\$" 2>/dev/null | wc -l)
    [ "$count" -eq 1 ] || { echo "FAIL: $count windows after a second start"; exit 1; }
}

work=$unicode expect_screen="$src/docs/screenshots/windows-en-not-recognised.png" check_second_copy=1 \
    run_to_end "Updater Program" windows-en LANG=C.UTF-8 LC_ALL=C.UTF-8
# The user's language (GetUserDefaultLangID, which wine takes from the locale) picks the start.
work=$plain run_to_end "アップデートプログラム" windows-ja LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
echo "pictures in $shots"
