#!/usr/bin/env bash
# Runs a Windows program under Debian's Wine, with the Qt for Windows in QT_DIR and MinGW's
# runtime on its DLL path, in a prefix made on first use. CTest's emulator for the Windows
# tests, and the scripts' way to start the program.
#   tests/windows/wine.sh QT_DIR PROGRAM [ARGUMENT...]
# WINEPREFIX, when set, names the prefix; otherwise it is ~/.cache/kestrion/wine.
set -euo pipefail
qt=$1
shift
export WINEPREFIX=${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/kestrion/wine}
export WINEDEBUG=${WINEDEBUG:--all}
# Nothing here needs Mono or Gecko, and their installers would stop to ask.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Qt's messages go to the debugger unless a console reads them.
export QT_FORCE_STDERR_LOGGING=1
# A Linux test may have chosen a Qt platform that the Windows build does not have.
unset QT_QPA_PLATFORM
windows_path() {
    local path=${1//\//\\}
    printf 'Z:%s' "$path"
}
gcc_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
WINEPATH="$(windows_path "$qt/bin");$(windows_path "$gcc_runtime");$(windows_path /usr/x86_64-w64-mingw32/lib)"
export WINEPATH
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    /usr/lib/wine/wine64 wineboot --init > /dev/null 2>&1
    /usr/lib/wine/wineserver -w
fi
# Under Wine a Qt test writes nothing into a pipe; its results go to a file, shown from there.
case ${1##*/} in
tst_*.exe)
    results=$(mktemp)
    status=0
    /usr/lib/wine/wine64 "$@" -o "$(windows_path "$results"),txt" || status=$?
    cat "$results"
    rm -f "$results"
    exit "$status"
    ;;
esac
exec /usr/lib/wine/wine64 "$@"
