#!/usr/bin/env bash
# Try Kestrion without an IRC network.
#   scripts/playground.sh           builds, starts a local IRC server on 127.0.0.1:6664 and the
#                                   program; closing the program stops the server
#   scripts/playground.sh watch     a second client that joins the channel and prints what is
#                                   said there (run it in another terminal)
#   scripts/playground.sh server    only the server, until Ctrl+C
set -euo pipefail
cd "$(dirname "$0")/.."
port=6664
channel=${KESTRION_CHANNEL:-#Durmast_Velmor}

port_open() {
    (exec 3<> "/dev/tcp/127.0.0.1/$port") 2> /dev/null
}

start_server() {
    if port_open; then
        echo "Something already listens on 127.0.0.1:$port; stop it first." >&2
        exit 1
    fi
    run_dir=$(mktemp -d)
    scripts/ircd-sandbox.sh "$PWD/playground" "$run_dir" > "$run_dir/ircd.log" 2>&1 &
    server_pid=$!
    trap 'kill "$server_pid" 2> /dev/null; wait "$server_pid" 2> /dev/null; rm -rf "$run_dir"' EXIT
    for _ in $(seq 50); do
        port_open && return
        kill -0 "$server_pid" 2> /dev/null || break
        sleep 0.2
    done
    echo "The IRC server did not start:" >&2
    cat "$run_dir/ircd.log" >&2
    exit 1
}

watch_channel() {
    local nick=${1:-watcher}
    if ! exec 3<> "/dev/tcp/127.0.0.1/$port"; then
        echo "No server on 127.0.0.1:$port; start scripts/playground.sh first." >&2
        exit 1
    fi
    printf 'NICK %s\r\nUSER %s 0 * :playground watcher\r\nJOIN %s\r\n' \
        "$nick" "$nick" "$channel" >&3
    echo "Watching $channel on 127.0.0.1:$port as $nick (Ctrl+C ends)."
    local line
    while IFS= read -r line <&3; do
        line=${line%$'\r'}
        case $line in
        PING\ *) printf 'PONG %s\r\n' "${line#PING }" >&3 ;;
        *" PRIVMSG $channel :"* | *" NOTICE $channel :"*)
            # The walkthrough keeps Kestrion's default encoding, CP932 (a channel on IRCnet
            # mostly uses ISO-2022-JP: every member must use the channel's).
            local sender=${line%%!*}
            local text=${line#*" $channel :"}
            local mark='<%s>'
            [[ $line == *" NOTICE "* ]] && mark='-%s-'
            printf "%s $mark %s\n" "$(date +%T)" "${sender#:}" \
                "$(printf '%s' "$text" | iconv -f CP932 -t UTF-8 2> /dev/null || printf '%s' "$text")"
            ;;
        *\ JOIN\ * | *\ PART\ * | *\ QUIT\ * | *\ KICK\ * | *\ 433\ *)
            printf '%s %s\n' "$(date +%T)" "$line" ;;
        esac
    done
    echo "The server closed the connection."
}

case ${1:-} in
watch)
    watch_channel "${2:-}"
    ;;
server)
    scripts/need-ircd.sh
    start_server
    echo "IRC server on 127.0.0.1:$port; Ctrl+C stops it."
    wait "$server_pid"
    ;;
"")
    scripts/need-ircd.sh
    scripts/build.sh > /dev/null
    start_server
    cat <<EOT

A local IRC server is running on 127.0.0.1:$port and Kestrion is starting.

  1. In Kestrion open サーバ → 接続, choose "localhost" (the last server in the list),
     keep port 6664, nickname Timer and channel $channel, and press 接続.
  2. To see the channel as others do, run in a second terminal:
         scripts/playground.sh watch
     or point any IRC client at 127.0.0.1 port 6664 and join $channel
     (Kestrion writes Japanese in CP932; in irssi: /set recode_fallback CP932).
  3. Pick 計測時間 (say 1 minute) and press 開始.

Closing Kestrion stops the server.

EOT
    build/kestrion
    ;;
*)
    sed -n '2,8p' "$0" >&2
    exit 2
    ;;
esac
