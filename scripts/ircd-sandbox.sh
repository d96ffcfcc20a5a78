#!/bin/sh
# Runs Debian's ircd-irc2 in the foreground on the ircd.conf and ircd.motd in CONF_DIR, with
# RUN_DIR for its state. The server only knows /etc/ircd and /var/run/ircd, so it runs in a
# private mount namespace where those show our folders; without root that is also a user
# namespace (Debian 12 allows them).
#   scripts/ircd-sandbox.sh CONF_DIR RUN_DIR
set -e
as_root=
[ "$(id -u)" -eq 0 ] || as_root=-r
exec unshare $as_root -m sh -c '
    set -e
    mount --bind "$1" /etc/ircd
    # A user namespace cannot create the folder in the real /run; a scratch /run can.
    [ -d /var/run/ircd ] || mkdir /var/run/ircd 2> /dev/null \
        || { mount -t tmpfs scratch /run && mkdir /run/ircd; }
    mount --bind "$2" /var/run/ircd
    exec /usr/sbin/ircd -t -s' sh "$1" "$2"
