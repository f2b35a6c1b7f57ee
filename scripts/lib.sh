# Shared by the scripts in this folder: paths and compiler-cache settings.
QTX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export CCACHE_BASEDIR="$QTX_ROOT"
export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-time_macros,include_file_mtime,include_file_ctime}"
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-5G}"
# Objects built with -g in one build folder serve another with the same flags (another
# checkout's, say): the folder is left out of the cache key.
export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
QTX_JOBS="${QTX_JOBS:-$(nproc)}"

# qtx_build <preset> [targets...]: configure once (again when the presets changed), then build.
qtx_build() {
    local preset=$1; shift
    local dir
    dir=$(qtx_build_dir "$preset")
    if [ ! -f "$dir/build.ninja" ] || [ "$QTX_ROOT/CMakePresets.json" -nt "$dir/CMakeCache.txt" ]; then
        cmake --preset "$preset" -S "$QTX_ROOT" >/dev/null
    fi
    if [ $# -gt 0 ]; then
        cmake --build "$dir" -j "$QTX_JOBS" --target "$@"
    else
        cmake --build "$dir" -j "$QTX_JOBS"
    fi
}

qtx_build_dir() {
    case "$1" in
        default) echo "$QTX_ROOT/build" ;;
        *) echo "$QTX_ROOT/build-$1" ;;
    esac
}

# Where scripts/windows-deps puts the cross-built image libraries.
qtx_windows_deps() {
    echo "${QTX_MINGW_DEPS:-$QTX_ROOT/build-windows-deps}"
}

# Whether apt knows source packages (a deb-src line in either sources format).
qtx_has_deb_src() {
    grep -rqsE '^(deb-src[[:space:]]|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/
}

# deb-src entries for the archives the machine already installs from.
qtx_deb_src_lines() {
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] && grep -q '^Types:.*\bdeb\b' "$f" && sed 's/^Types:.*/Types: deb-src/' "$f" && echo
    done
    if [ -f /etc/apt/sources.list ]; then
        sed -n 's/^deb[[:space:]]/deb-src /p' /etc/apt/sources.list
    fi
}

# qtx_check_windows_exports DLL: the DLL exports the 14 HID_ functions of devlink.h under
# their plain names, and nothing else.
qtx_check_windows_exports() {
    local want got
    want=$(sed -n 's/^DEVLINK_API [^(]*[ *]\(HID_[A-Za-z]*\)(.*/\1/p' "$QTX_ROOT/devlink/include/devlink.h" | sort)
    got=$(x86_64-w64-mingw32-objdump -p "$1" |
        sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] \(.*\)$/\1/p' | sort)
    if [ "$got" != "$want" ] || [ "$(echo "$want" | wc -l)" -ne 14 ]; then
        echo "devlink.dll exports differ from devlink.h:" >&2
        diff <(echo "$want") <(echo "$got") >&2 || true
        return 1
    fi
    echo "devlink.dll exports the 14 functions of devlink.h, undecorated"
}

# qtx_windows_test [ctest args]: runs the Windows build's tests through wine on a private
# X server, with wine's background processes started once, detached (else every test
# pays for their start, and ctest waits on their pipes), and wine's debugger off (a
# crash then ends the test instead of waiting in the debugger).
qtx_windows_test() {
    local dir status=0
    dir=$(qtx_build_dir windows)
    . "$QTX_ROOT/scripts/xsession.sh"
    export WINEPREFIX="$dir/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="winedbg.exe=d;mscoree,mshtml="
    export WINEARCH=win64
    qtx_x_start
    setsid wineserver -p </dev/null >/dev/null 2>&1 &
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
    (cd "$dir" && ctest --output-on-failure -j "$QTX_JOBS" --timeout 300 "$@") || status=$?
    wineserver -k >/dev/null 2>&1 || true
    qtx_x_stop
    return "$status"
}
