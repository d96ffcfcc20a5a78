#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the plain build's suite, the Debian
# package built and checked, a short run of each fuzz target, the whole suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, the build command and the package built,
# installed and started on Debian 13 (scripts/test-debian13.sh), and the Windows build with its
# installer and zip, tested under Wine (scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
# Its packages (clang 14's runtime) and the Windows part's Qt (Debian 12's 6.4.2 source) are
# Debian 12's; the build command alone also runs on Debian 13.
system=$(. /etc/os-release && echo "${ID:-} ${VERSION_ID:-}")
if [ "$system" != "debian 12" ]; then
    echo "scripts/test.sh runs on Debian 12 only; this system is \"$system\"." >&2
    echo "scripts/build.sh builds the program on Debian 12 and 13." >&2
    exit 1
fi
# The fuzz targets need clang, the installed-files check the desktop-entry and metadata
# validators, the end-to-end tests private IRC servers of each family and, for TLS, certificates
# they make with openssl, and a test of a dead link a packet filter and a network namespace of
# its own.
scripts/need-packages.sh clang libclang-rt-14-dev desktop-file-utils appstream nftables iproute2 \
    openssl
scripts/need-ircd.sh
scripts/need-other-ircds.sh > /dev/null
# Qt for Windows is built once into a cache, the longest step on a fresh machine
# (docs/development.md gives its time): it is built beside the Linux part, whose end-to-end
# tests mostly wait on timers, at the lowest priority, so their timing stays as on an idle
# machine.
qt_log=$(mktemp)
nice -n 19 scripts/build-windows-qt.sh > /dev/null 2> "$qt_log" &
qt_build=$!
# The build command and the package on Debian 13 as well, in a system of its own made for it,
# also at the lowest priority.
debian13_log=$(mktemp)
nice -n 19 scripts/test-debian13.sh > "$debian13_log" 2>&1 &
debian13=$!
scripts/build.sh
ctest --test-dir build --output-on-failure -j2
scripts/package.sh
tests/fuzz/run.sh 30
cmake -S . -B build-sanitize -DKESTRION_SANITIZE=ON > /dev/null
cmake --build build-sanitize -j"$(nproc)"
ctest --test-dir build-sanitize --output-on-failure -j2
wait "$debian13" || { cat "$debian13_log" >&2; exit 1; }
tail -n 1 "$debian13_log"
wait "$qt_build" || { cat "$qt_log" >&2; exit 1; }
scripts/test-windows.sh
