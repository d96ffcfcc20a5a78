#!/usr/bin/env bash
# Installs those of the given Debian packages that are not installed yet (with sudo when not
# root), waiting for another package manager that is at work.
#   scripts/need-packages.sh PACKAGE...
set -euo pipefail
# The Windows part's Qt is built beside the rest and installs what it needs meanwhile: one
# installer at a time, and each looks at what is installed only once it has its turn.
exec 9< "$0"
flock 9
missing=()
for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed' \
        || missing+=("$package")
done
[ ${#missing[@]} -gt 0 ] || exit 0
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
apt_get=$(dirname "$0")/apt-get.sh
"${sudo[@]}" "$apt_get" update
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" "$apt_get" install -y --no-install-recommends "${missing[@]}"
