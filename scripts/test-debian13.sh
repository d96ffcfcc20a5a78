#!/usr/bin/env bash
# Runs the README's build command in a fresh Debian 13 (trixie) system and starts the program
# it built, then builds and checks the Debian package there, installs it and starts the
# program again: most people who set Kestrion up on Linux run Debian 13, with a newer Qt,
# compiler and package validators than Debian 12's. The system is a minbase one made with
# debootstrap in a scratch folder and removed afterwards. Making it needs root: as another user
# the script asks sudo for each step that does.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/need-packages.sh debootstrap
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
# The system's own Debian mirror and apt proxy, as the user configured them: the main
# archive's site (not the security one) and Acquire::http::Proxy.
mirror=$(scripts/apt-get.sh indextargets --format '$(SITE) $(RELEASE)' 'Created-By: Packages' \
    'Component: main' | awk '$2 !~ /-/ { print $1; exit }')
[ -n "$mirror" ] || { echo "FAIL: no Debian mirror in the system's apt sources" >&2; exit 1; }
proxy=
eval "$(apt-config shell proxy Acquire::http::Proxy)"
root=$(mktemp -d /var/tmp/kestrion-debian13.XXXXXX)
cleanup() {
    for mount in "$root/proc" "$root/dev" "$root"; do
        mountpoint -q "$mount" && "${sudo[@]}" umount -l "$mount"
    done
    "${sudo[@]}" rm -rf "$root"
}
trap cleanup EXIT
"${sudo[@]}" env ${proxy:+http_proxy="$proxy"} \
    debootstrap --variant=minbase trixie "$root" "$mirror" > /dev/null
if [ -n "$proxy" ]; then
    echo "Acquire::http::Proxy \"$proxy\";" \
        | "${sudo[@]}" tee "$root/etc/apt/apt.conf.d/01proxy" > /dev/null
fi
# Bound onto itself, the system is a mount point of its own, as namespaces and apt expect.
"${sudo[@]}" mount --bind "$root" "$root"
"${sudo[@]}" mount -t proc proc "$root/proc"
"${sudo[@]}" mount --rbind /dev "$root/dev"
"${sudo[@]}" cp /etc/resolv.conf "$root/etc/resolv.conf"
"${sudo[@]}" mkdir "$root/src"
git ls-files -z | tar --null -T - -cf - | "${sudo[@]}" tar -xf - -C "$root/src"
"${sudo[@]}" chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    LANG=C.UTF-8 bash -euo pipefail -c '
        cd /src
        echo "Debian $(cat /etc/debian_version)"
        mkdir -m 700 /tmp/runtime
        # Started as a user would, offscreen: it must still be running after a few seconds.
        runs() {
            status=0
            XDG_RUNTIME_DIR=/tmp/runtime QT_QPA_PLATFORM=offscreen timeout 5 "$1" || status=$?
            [ "$status" -eq 124 ] || { echo "FAIL: $1 ended with $status" >&2; exit 1; }
        }
        scripts/build.sh > build.log 2>&1 || { cat build.log; exit 1; }
        runs build/kestrion
        scripts/package.sh > package.log 2>&1 || { cat package.log; exit 1; }
        DEBIAN_FRONTEND=noninteractive scripts/apt-get.sh install -y -q ./build-package/kestrion_*.deb \
            > /dev/null
        runs kestrion
        echo "PASS: the build command, and the package built, validated, installed and started, on Debian 13"'
