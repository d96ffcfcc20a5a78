#!/usr/bin/env bash
# Builds Qt for 64-bit Windows from Debian's own qt6-base source, once, into a cache outside the
# repository, and prints the path of the finished Qt. Only what the program needs is built.
#   scripts/build-windows-qt.sh
# The cache is reused while it is complete (it holds a stamp written as the last step).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
version=6.4.2
cache=${XDG_CACHE_HOME:-$HOME/.cache}/kestrion
prefix=$cache/qt-$version-mingw64
stamp=$prefix/.complete
if [ -f "$stamp" ]; then
    echo "$prefix"
    exit 0
fi
"$repo/scripts/need-packages.sh" cmake ninja-build dpkg-dev g++-mingw-w64-x86-64-posix \
    qt6-base-dev qt6-base-dev-tools >&2
work=$cache/qt-$version-source
mkdir -p "$work"
cd "$work"

# apt-get source needs a deb-src entry; the system's own sources stay untouched: a private apt
# folder lists deb-src lines for the same mirrors, suites and components the system uses.
if [ ! -d "qt6-base-$version" ]; then
    apt_dir=$work/apt
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/archives/partial"
    "$repo/scripts/apt-get.sh" indextargets --format '$(SITE) $(RELEASE) $(COMPONENT)' 'Created-By: Packages' \
        | sort -u | sed 's/^/deb-src /' > "$apt_dir/sources.list"
    apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
        -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
        -o "Dir::State::Status=/var/lib/dpkg/status" -o APT::Sandbox::User=root)
    "$repo/scripts/apt-get.sh" "${apt_options[@]}" update >&2
    # The very source of the Linux build's Qt.
    source_version=$(dpkg-query -W -f='${source:Version}' qt6-base-dev)
    "$repo/scripts/apt-get.sh" "${apt_options[@]}" source --only-source "qt6-base=$source_version" >&2
fi
source_dir=$(find "$work" -maxdepth 1 -type d -name "qt6-base-$version*" | head -n1)

build=$work/build
cmake -G Ninja -S "$source_dir" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$repo/packaging/windows/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_tabletevent=OFF \
    -DFEATURE_icu=OFF -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_printsupport=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_jpeg=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_openssl=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF >&2
cmake --build "$build" --parallel "$(nproc)" --target Core Gui Widgets Network Test \
    QWindowsIntegrationPlugin QWindowsVistaStylePlugin >&2
# Installing wants every configured target; the few that remain are small tools.
cmake --build "$build" --parallel "$(nproc)" >&2
cmake --install "$build" >&2
touch "$stamp"
# Only the installed Qt is used again; its source and build take two gigabytes.
rm -rf "$work"
echo "$prefix"
