#!/usr/bin/env bash
# Installs Debian's ircd-irc2, if it is missing, for the project's own private servers (the
# end-to-end tests, the playground), and never leaves it running or enabled as a system
# service: Debian's package would otherwise start ircd-irc2.service with its default
# configuration, an IRC server open to the network on port 6667. A copy of ircd-irc2 that was
# installed before is left as its owner set it up.
set -euo pipefail
cd "$(dirname "$0")/.."
dpkg-query -W -f='${Status}' ircd-irc2 2> /dev/null | grep -q '^install ok installed' && exit 0
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

# Refuses every service start during this one installation, unless the system has its own rule.
policy=/usr/sbin/policy-rc.d
if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\n# Left by kestrion scripts/need-ircd.sh; safe to delete.\nexit 101\n' \
        | "${sudo[@]}" tee "$policy" > /dev/null
    "${sudo[@]}" chmod 755 "$policy"
    trap '"${sudo[@]}" rm -f "$policy"' EXIT
fi
scripts/need-packages.sh ircd-irc2

# Also stays off at the next boot and through upgrades of the package.
# The helper that enabled it disables it, with or without systemd on the machine; it only
# serves package scripts, so it is told it runs in one.
"${sudo[@]}" env DPKG_MAINTSCRIPT_PACKAGE=ircd-irc2 deb-systemd-helper disable ircd-irc2.service
"${sudo[@]}" update-rc.d ircd-irc2 disable > /dev/null
# A system rule that let the installation start it: stop it again.
if [ -d /run/systemd/system ]; then
    "${sudo[@]}" systemctl stop ircd-irc2.service
elif pgrep -x ircd > /dev/null; then
    "${sudo[@]}" /etc/init.d/ircd-irc2 stop > /dev/null || true
fi
