#!/bin/sh
# Runs an unpacked ircd-hybrid (PACKAGE_ROOT, as scripts/need-other-ircds.sh leaves it) in the
# foreground on CONF_DIR/ircd.conf, with its logs and databases in CONF_DIR. The server loads
# its core modules only from /usr/lib/ircd-hybrid and refuses to run as root, so it runs in a
# private mount namespace where /usr/lib and /usr/sbin also show the unpacked package, as an
# unprivileged user; its host-name lookups go to loopback only.
#   scripts/ircd-hybrid-sandbox.sh PACKAGE_ROOT CONF_DIR
set -e
as_root=
[ "$(id -u)" -eq 0 ] || as_root=-r
# Root of the machine itself, not only of a user namespace (a test may run in one).
machine_root=
grep -Eq '^ *0 +0 +4294967295$' /proc/self/uid_map && [ -z "$as_root" ] && machine_root=yes
exec unshare $as_root -m sh -c '
    set -e
    package=$1 conf=$2 machine_root=$3
    for folder in lib sbin; do
        mount -t overlay overlay -o lowerdir="$package/usr/$folder:/usr/$folder" /usr/$folder
    done
    echo "nameserver 127.0.0.1" > "$conf/resolv.conf"
    mount --bind "$conf/resolv.conf" /etc/resolv.conf
    set -- /usr/sbin/ircd-hybrid -foreground -configfile "$conf/ircd.conf" \
        -logfile "$conf/ircd.log" -pidfile "$conf/ircd.pid" -klinefile "$conf/kline.db" \
        -dlinefile "$conf/dline.db" -xlinefile "$conf/xline.db" -resvfile "$conf/resv.db"
    if [ -n "$machine_root" ]; then
        # Started by root: the server runs as nobody, in a folder it may use.
        chmod a+x "$(dirname "$conf")"
        chmod a+rwx "$conf"
        exec setpriv --reuid=65534 --regid=65534 --clear-groups "$@"
    fi
    # Root only inside a user namespace: a user namespace of its own makes the server someone
    # else there (a chroot forbids that, and root needs it not).
    exec unshare -U --map-user=65534 --map-group=65534 "$@"' sh "$1" "$2" "$machine_root"
