#!/usr/bin/env bash
# Builds the Windows program, its installer and zip (scripts/build-windows.sh), and tests them
# under Wine: the Windows build's own tests, the installer installed, started and removed, and
# the portable program driven with keyboard and mouse against the real IRC server.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/need-packages.sh wine64 xvfb xauth openbox xdotool x11-utils
scripts/need-ircd.sh
scripts/build-windows.sh
qt=$(scripts/build-windows-qt.sh)
xvfb-run -a ctest --test-dir build-windows --output-on-failure
xvfb-run -a tests/windows/installer.sh build-windows/Kestrion-*-setup.exe
scripts/build.sh -DKESTRION_WINDOWS_PROGRAM="$PWD/build-windows/kestrion/kestrion.exe" \
    -DKESTRION_WINDOWS_QT="$qt" > /dev/null
ctest --test-dir build -R tst_e2eWindowsProgram --output-on-failure
# The Linux build goes back to its own tests.
cmake -S . -B build -DKESTRION_WINDOWS_PROGRAM= > /dev/null
