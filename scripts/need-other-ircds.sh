#!/usr/bin/env bash
# Fetches the IRC servers of the other families Debian ships (ngIRCd, InspIRCd, ircd-hybrid), the
# account services (Atheme) that link to InspIRCd, and the bouncer ZNC, for the end-to-end tests,
# and unpacks each into a cache folder outside the repository; prints that folder. They are never
# installed: as packages they conflict with ircd-irc2, and a package would start a server open
# to the network. Only the shared libraries they need are installed, and the service names
# (netbase), without which ircd-hybrid finds no name server to ask.
#   scripts/need-other-ircds.sh
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/kestrion/ircds
apt_get=$repo/scripts/apt-get.sh
"$repo/scripts/need-packages.sh" libident libltdl7 libgnutls30 libpam0g zlib1g netbase libssl3 \
    libcrypt1 libboost-locale1.74.0 libicu72 libsasl2-2 >&2
for package in ngircd inspircd ircd-hybrid atheme-services znc; do
    [ -f "$cache/$package/.complete" ] && continue
    download=$(mktemp -d)
    # A fresh machine may not have read the package lists yet.
    (cd "$download" && { "$apt_get" -o APT::Sandbox::User=root download "$package" \
        || { "$apt_get" update && "$apt_get" -o APT::Sandbox::User=root download "$package"; }; }) >&2
    rm -rf "${cache:?}/$package"
    mkdir -p "$cache/$package"
    dpkg-deb -x "$download"/*.deb "$cache/$package"
    rm -rf "$download"
    touch "$cache/$package/.complete"
done
echo "$cache"
