# Shared by the scripts in this folder: paths and compiler-cache settings.
QTX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export CCACHE_BASEDIR="$QTX_ROOT"
export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-time_macros,include_file_mtime,include_file_ctime}"
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-5G}"
QTX_JOBS="${QTX_JOBS:-$(nproc)}"

# qtx_build <preset> [targets...]: configure once, then build.
qtx_build() {
    local preset=$1; shift
    local dir
    dir=$(qtx_build_dir "$preset")
    if [ ! -f "$dir/build.ninja" ]; then
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
