# Sourced: the Wine settings every Gleanwell script and test uses.
# Usage: . scripts/wine-env.sh BUILD_DIR
gleanwell_build_dir=$(cd "$1" && pwd)
export WINEPREFIX="$gleanwell_build_dir/wineprefix"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
