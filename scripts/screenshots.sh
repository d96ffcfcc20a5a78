#!/usr/bin/env bash
# Takes the README's screenshots of the real program under Xvfb, driving it as a person would
# (mouse and keyboard through xdotool) against the playground's IRC server: the main window,
# the connect dialog, a one-minute run in progress, the expanded view and, against a TLS server
# of its own with a self-signed certificate, the certificate question. A second client watches
# the channel; what it saw is printed at the end.
#   scripts/screenshots.sh [output folder, default docs/screenshots]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshots}
scripts/need-packages.sh xvfb openbox xdotool imagemagick openssl
scripts/build.sh > /dev/null
mkdir -p "$out"

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
    wait 2> /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp > /dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
sleep 1
openbox > /dev/null 2>&1 &
pids+=($!)
scripts/playground.sh server > "$work/server.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do
    grep -q 'Ctrl+C' "$work/server.log" && break
    sleep 0.2
done
scripts/playground.sh watch > "$work/watch.log" 2>&1 &
pids+=($!)

mkdir -m 700 "$work/runtime"
XDG_RUNTIME_DIR=$work/runtime build/kestrion &
pids+=($!)
main=$(xdotool search --sync --onlyvisible --name 'ケストリオン' | head -1)
xdotool windowmove --sync "$main" 330 40
sleep 1

shoot() {
    import -frame -window "$1" "$out/$2"
    echo "$out/$2"
}
# Menu titles sit in the client area's first 20 pixels; the menus have no accelerators, so
# a click opens one and the arrow keys pick the entry.
open_menu_entry() {
    local x=$1 downs=$2
    xdotool mousemove --window "$main" "$x" 9 click 1
    sleep 0.5
    for _ in $(seq "$downs"); do xdotool key Down; done
    xdotool key Return
    sleep 0.5
}
# Centres of controls in the main window's layout (twips / 15) below the 20-pixel menu bar.
click_in_main() {
    xdotool mousemove --window "$main" "$1" $(( $2 + 20 )) click 1
    sleep 0.3
}

shoot "$main" main-window.png

open_menu_entry 20 1
dialog=$(xdotool search --sync --onlyvisible --name 'IRCサーバ接続' | head -1)
sleep 0.5
# Focus starts on 接続; three tabs back round to the server box.
xdotool key Tab Tab Tab ctrl+a
xdotool type --delay 50 localhost
sleep 0.3
shoot "$dialog" connect-dialog.png
xdotool key shift+Tab shift+Tab shift+Tab Return

for _ in $(seq 100); do
    grep -q 'Timer.*JOIN' "$work/watch.log" && break
    sleep 0.2
done
grep -q 'Timer.*JOIN' "$work/watch.log" || { echo "Kestrion did not join the channel" >&2; exit 1; }
# Let the server's flood control drain the login before the countdown starts.
sleep 12

# The minutes box's text part, left of its arrow.
click_in_main 72 22
xdotool key ctrl+a
xdotool type 1
click_in_main 228 24
sleep 25
shoot "$main" run-in-progress.png
open_menu_entry 64 3
sleep 1
shoot "$main" expanded.png
# Ten seconds of countdown, sixty of measurement, the closing lines and the server's queue.
sleep 60

# A server with a certificate nobody vouches for, as a private server or a bouncer may have.
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj /CN=localhost \
    -keyout "$work/key.pem" -out "$work/cert.pem" 2> /dev/null
openssl s_server -quiet -naccept 1 -accept 6697 -cert "$work/cert.pem" -key "$work/key.pem" \
    < /dev/null > /dev/null 2>&1 &
pids+=($!)
sleep 1
# サーバ → 切断 (the first entry that is enabled while logged in) and OK, the box's second button.
open_menu_entry 20 1
xdotool search --sync --onlyvisible --name '^kestrion$' > /dev/null
sleep 0.5
xdotool key shift+Tab space
sleep 0.5
open_menu_entry 20 1
xdotool search --sync --onlyvisible --name 'IRCサーバ接続' > /dev/null
sleep 0.5
# From 接続, three tabs back round to the server box, four on to the TLS box, whose tick moves
# the port to 6697, and seven back to 接続.
xdotool key Tab Tab Tab ctrl+a
xdotool type --delay 50 localhost
xdotool key Tab Tab Tab Tab space shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab \
    shift+Tab Return
question=$(xdotool search --sync --onlyvisible --name '^kestrion$' | head -1)
sleep 0.5
shoot "$question" certificate-question.png
xdotool key Escape
sleep 0.5

echo "What a second client in the channel saw:"
cat "$work/watch.log"
