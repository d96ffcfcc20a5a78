#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the plain build's suite, the Debian
# package built and checked, a short run of each fuzz target, the whole suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows build with its installer
# and zip, tested under Wine (scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
# The fuzz targets need clang, the installed-files check the desktop-entry and metadata
# validators, the end-to-end tests private IRC servers of each family, and a test of a dead link a packet
# filter and a network namespace of its own.
scripts/need-packages.sh clang libclang-rt-14-dev desktop-file-utils appstream nftables iproute2
scripts/need-ircd.sh
scripts/need-other-ircds.sh > /dev/null
scripts/build.sh
ctest --test-dir build --output-on-failure -j2
scripts/package.sh
tests/fuzz/run.sh 30
cmake -S . -B build-sanitize -DKESTRION_SANITIZE=ON > /dev/null
cmake --build build-sanitize -j"$(nproc)"
ctest --test-dir build-sanitize --output-on-failure -j2
scripts/test-windows.sh
