#!/usr/bin/env bash
# Builds the program for 64-bit Windows (the first time also Qt for Windows: a quarter of an
# hour alone on two cores, half an hour beside other work; see scripts/build-windows-qt.sh) and
# leaves in build-windows/:
#   Kestrion-VERSION-setup.exe         the installer
#   kestrion-VERSION-windows-x64.zip   the same program as a portable folder kestrion/
# Extra arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/need-packages.sh cmake ninja-build g++-mingw-w64-x86-64-posix icoutils nsis zip \
    binutils-mingw-w64-x86-64 qt6-translations-l10n
qt=$(scripts/build-windows-qt.sh)
build=$PWD/build-windows
cmake -G Ninja -S . -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$PWD/tests/windows/wine.sh;$qt" "$@"
cmake --build "$build"

version=$(sed -n 's/^project(kestrion VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
folder=$build/kestrion
rm -rf "$folder"
mkdir -p "$folder/platforms" "$folder/styles" "$folder/tls" "$folder/translations"
cp "$build/kestrion.exe" "$folder/"
cp "$qt/plugins/platforms/qwindows.dll" "$folder/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$folder/styles/"
# TLS through Windows' own Schannel and certificate store.
cp "$qt/plugins/tls/qschannelbackend.dll" "$folder/tls/"
# Qt's own buttons and menus in Japanese: Debian's translation of the very Qt built for Windows.
cp /usr/share/qt6/translations/qtbase_ja.qm "$folder/translations/"

# Exactly the DLLs that the program and its plugins load, found by following their imports;
# the system's own DLLs are not in these folders and stay out.
gcc_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
search=("$qt/bin" "$gcc_runtime" /usr/x86_64-w64-mingw32/lib)
pending=("$folder/kestrion.exe" "$folder/platforms/qwindows.dll" "$folder/styles/qwindowsvistastyle.dll"
    "$folder/tls/qschannelbackend.dll")
while [ ${#pending[@]} -gt 0 ]; do
    file=${pending[0]}
    pending=("${pending[@]:1}")
    for dll in $(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
        [ -e "$folder/$dll" ] && continue
        for dir in "${search[@]}"; do
            if [ -f "$dir/$dll" ]; then
                cp "$dir/$dll" "$folder/"
                pending+=("$folder/$dll")
                break
            fi
        done
    done
done
find "$folder" -name '*.exe' -o -name '*.dll' | xargs x86_64-w64-mingw32-strip --strip-unneeded

zip_file=$build/kestrion-$version-windows-x64.zip
rm -f "$zip_file"
(cd "$build" && zip -qr9 "$zip_file" kestrion)

# The uninstaller removes exactly the installed files.
file_list=$build/installed-files.nsh
(cd "$folder" && find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|.*|    Delete "$INSTDIR\\&"|'
    cd "$folder" && find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|    RMDir "$INSTDIR\\&"|') \
    > "$file_list"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSOURCE="$folder" \
    -DOUTFILE="$build/Kestrion-$version-setup.exe" -DICON="$build/kestrion.ico" \
    -DFILE_LIST="$file_list" -DSIZE_KB="$(du -sk "$folder" | cut -f1)" \
    packaging/windows/installer.nsi
ls -l "$build/Kestrion-$version-setup.exe" "$zip_file"
