#!/usr/bin/env bash
# Builds the Debian package into build-package/ and checks it: the desktop entry and AppStream
# metadata as installed, then lintian on the .deb. Prints the package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/need-packages.sh cmake g++ make pkg-config qt6-base-dev libgl-dev dpkg-dev file \
    desktop-file-utils appstream lintian
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF > /dev/null
cmake --build build-package -j"$(nproc)"
(cd build-package && cpack > /dev/null)
deb=$(ls build-package/kestrion_*.deb)
stage=build-package/deb-contents
rm -rf "$stage"
dpkg-deb -x "$deb" "$stage"
desktop-file-validate "$stage"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$stage"/usr/share/metainfo/*.metainfo.xml
dpkg-deb -I "$deb" control
lintian --fail-on error "$deb"
echo "$deb"
