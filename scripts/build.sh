#!/usr/bin/env bash
# Installs the Debian packages that building and running the program need, where missing, then
# builds into build/. Extra arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/need-packages.sh cmake g++ make pkg-config qt6-base-dev libgl-dev fonts-ipafont-gothic \
    qt6-translations-l10n
cmake -S . -B build "$@"
cmake --build build -j"$(nproc)"
