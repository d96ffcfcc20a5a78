#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop finds there: the program
# the entry starts, the entry and the AppStream metadata valid, the theme icon at every size.
#   installTree.sh BUILD_DIR SCRATCH_DIR
set -euo pipefail
build=$1
prefix=$2/usr
rm -rf "$2"
cmake --install "$build" --prefix "$prefix" > /dev/null

fail() {
    echo "FAIL: $*"
    exit 1
}

desktop=$(ls "$prefix"/share/applications/*.desktop)
app_id=$(basename "$desktop" .desktop)
desktop-file-validate "$desktop" || fail "desktop entry does not validate"
appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" \
    || fail "metainfo does not validate"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" \
    "$prefix/share/metainfo/$app_id.metainfo.xml" || fail "metainfo launches another entry"

exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$prefix/bin/$exec_name" ] || fail "Exec=$exec_name is not an installed program"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 16 32 48 128; do
    png=$prefix/share/icons/hicolor/${size}x$size/apps/$icon.png
    [ -f "$png" ] || fail "no $size px icon $icon"
    # A PNG's width and height are the big-endian words at bytes 16 and 20.
    read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$png")
    width=$(( (w1 << 24) | (w2 << 16) | (w3 << 8) | w4 ))
    height=$(( (h1 << 24) | (h2 << 16) | (h3 << 8) | h4 ))
    [ "$width" -eq "$size" ] && [ "$height" -eq "$size" ] \
        || fail "$size px icon is ${width}x$height"
done
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" || fail "no scalable icon"
for name in Name Name\\[ja\\] Comment Comment\\[ja\\]; do
    grep -q "^$name=." "$desktop" || fail "desktop entry lacks $name"
done
grep -q '^Categories=Network;IRCClient;Chat;$' "$desktop" || fail "categories"
[ -f "$prefix/share/man/man1/$exec_name.1.gz" ] || fail "no manual page"
zcat "$prefix/share/man/ja/man1/$exec_name.1.gz" | grep -q '^\.SH 説明' \
    || fail "no Japanese manual page"
# What the channel sees, which the manual pages name, beside the changelog.
for page in channel-timing.md channel-timing.ja.md; do
    zcat "$prefix/share/doc/kestrion/$page.gz" | grep -q '^# ' || fail "no $page"
done
echo "PASS: $(find "$prefix" -type f | wc -l) files installed under $prefix"
