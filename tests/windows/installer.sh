#!/usr/bin/env bash
# The installer under Wine, run unattended as an administrator would: a silent install puts
# the program, its Start-menu entry and its uninstall entry in place, the installed program
# starts on its own DLLs, and a silent uninstall removes all of it. Needs a display.
#   tests/windows/installer.sh SETUP_EXE
set -euo pipefail
setup=$(realpath "$1")
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
unset WINEPATH QT_PLUGIN_PATH QT_QPA_PLATFORM
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
trap '"$wineserver" -k 2> /dev/null || true; rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

"$wine" wineboot --init > /dev/null 2>&1
"$wineserver" -w
installed="$WINEPREFIX/drive_c/Program Files/Kestrion"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kestrion.lnk"
uninstall_key='Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Kestrion'

"$wine" "$setup" /S
"$wineserver" -w
for file in kestrion.exe uninstall.exe Qt6Core.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll \
    tls/qschannelbackend.dll translations/qtbase_ja.qm; do
    [ -f "$installed/$file" ] || fail "not installed: $file"
done
[ -f "$shortcut" ] || fail "no Start-menu entry"
grep -q "$uninstall_key" "$WINEPREFIX/system.reg" || fail "no uninstall entry"
echo "installed: $(cd "$installed" && find . -type f | wc -l) files, Start-menu entry, uninstall entry"

# Started from its folder with nothing else on the DLL path, as the Start menu starts it.
"$wine" "$installed/kestrion.exe" &
program=$!
window=$(timeout 120 xdotool search --sync --onlyvisible --name '^ケストリオン$' | head -n1) \
    || fail "the installed program showed no window"
echo "the installed program started: window $window"
"$wine" taskkill /f /im kestrion.exe > /dev/null 2>&1 || kill "$program"
wait "$program" 2> /dev/null || true
"$wineserver" -w

"$wine" "$installed/uninstall.exe" /S
"$wineserver" -w
[ ! -e "$installed" ] || fail "left behind: $(cd "$installed" && find .)"
[ ! -f "$shortcut" ] || fail "Start-menu entry left behind"
! grep -q "$uninstall_key" "$WINEPREFIX/system.reg" || fail "uninstall entry left behind"
echo "uninstalled: folder, Start-menu entry and uninstall entry gone"
