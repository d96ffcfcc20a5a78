#!/usr/bin/env bash
# Installs whatever Debian packages the build and the tests need and are missing, then builds
# into build/. Extra arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/need-packages.sh cmake g++ make pkg-config qt6-base-dev libgl-dev fonts-ipafont-gothic \
    ircd-irc2 clang libclang-rt-14-dev desktop-file-utils appstream
cmake -S . -B build "$@"
cmake --build build -j"$(nproc)"
