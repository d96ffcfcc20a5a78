#!/bin/sh
# Runs an unpacked ircd-hybrid (PACKAGE_ROOT, as scripts/need-other-ircds.sh leaves it) in the
# foreground on CONF_DIR/ircd.conf, with its logs and databases in CONF_DIR. The server loads
# its core modules only from /usr/lib/ircd-hybrid and refuses to run as root, so it runs in a
# private mount namespace where /usr/lib also shows the unpacked modules, as an unprivileged
# user of a user namespace of its own; its host-name lookups go to loopback only.
#   scripts/ircd-hybrid-sandbox.sh PACKAGE_ROOT CONF_DIR
set -e
as_root=
[ "$(id -u)" -eq 0 ] || as_root=-r
exec unshare $as_root -m sh -c '
    set -e
    mount -t overlay overlay -o lowerdir="$1/usr/lib:/usr/lib" /usr/lib
    echo "nameserver 127.0.0.1" > "$2/resolv.conf"
    mount --bind "$2/resolv.conf" /etc/resolv.conf
    exec unshare -U --map-user=65534 --map-group=65534 "$1/usr/sbin/ircd-hybrid" -foreground \
        -configfile "$2/ircd.conf" -logfile "$2/ircd.log" -pidfile "$2/ircd.pid" \
        -klinefile "$2/kline.db" -dlinefile "$2/dline.db" -xlinefile "$2/xline.db" \
        -resvfile "$2/resv.db"' sh "$1" "$2"
