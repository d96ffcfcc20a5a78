#!/usr/bin/env bash
# apt-get, patient with another package manager at work (a desktop's updater, a second
# installer): while it holds the package system's locks, this waits up to five minutes and
# says what it waits for, instead of failing at once.
#   scripts/apt-get.sh ARGUMENT...
set -euo pipefail
wait_seconds=300
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
started=$SECONDS
said=
while true; do
    # apt waits for dpkg's lock itself and says so on its output ("Waiting for cache lock: …").
    # Its errors are shown as they come, and kept.
    set +o errexit
    { apt-get -o "DPkg::Lock::Timeout=$wait_seconds" "$@" 2>&1 1>&3 3>&- | tee "$errors" >&2
        status=${PIPESTATUS[0]}; } 3>&1
    set -o errexit
    [ "$status" -ne 0 ] || exit 0
    # The package lists' lock, which update takes, it does not wait for: that is done here.
    if ! grep -q 'Unable to lock directory' "$errors" \
        || [ $((SECONDS - started)) -ge "$wait_seconds" ]; then
        exit "$status"
    fi
    [ -n "$said" ] || echo "apt-get.sh: another program holds the package lists' lock;" \
        "waiting for it (up to $((wait_seconds / 60)) minutes in all)" >&2
    said=yes
    sleep 5
done
