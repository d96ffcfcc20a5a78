#!/usr/bin/env bash
# The Japanese README keeps up with the English one: the two link each other, every section
# of README.md has its counterpart in README.ja.md (by the pairs below; a new English section
# needs a new pair), README.ja.md gives the set-up commands exactly as README.md does, and
# breaks no Japanese sentence across lines.
#   readmeInStep.sh SOURCE_DIR
set -euo pipefail
cd "$1"
english=README.md
japanese=README.ja.md
pairs=(
    "Set up|セットアップ"
    "Installing|インストール"
    "A first run with the playground|プレイグラウンドで試す"
    "Using it|使い方"
    "When something goes wrong|困ったときは"
    "Accuracy|正確さ"
    "Working on Kestrion|開発者向け"
)
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

head -n 5 "$english" | grep -q "($japanese)" || fail "$english does not link $japanese at its top"
head -n 5 "$japanese" | grep -q "($english)" || fail "$japanese does not link $english at its top"

while IFS= read -r heading; do
    counterpart=
    for pair in "${pairs[@]}"; do
        [ "${pair%%|*}" = "$heading" ] && counterpart=${pair#*|}
    done
    if [ -z "$counterpart" ]; then
        fail "section \"$heading\" of $english has no pair in $0"
    elif ! grep -qxF "## $counterpart" "$japanese"; then
        fail "section \"$heading\" has no counterpart \"## $counterpart\" in $japanese"
    fi
done < <(sed -n 's/^## //p' "$english")

# The set-up commands are the indented lines of that section.
while IFS= read -r command; do
    grep -qxF "    $command" "$japanese" || fail "$japanese lacks the set-up command: $command"
done < <(sed -n '/^## Set up$/,/^## /s/^    \(.\)/\1/p' "$english")

# A line break between two Japanese characters shows in a browser as a stray blank inside the
# sentence: outside code blocks, each paragraph stands on one line.
broken=$(awk '/^```/ { code = !code; next }
    !code && prev ~ /[^\x01-\x7f]$/ && $0 ~ /^[^\x01-\x7f]/ { print FILENAME ":" NR ": " $0 }
    { prev = $0 }' "$japanese")
[ -z "$broken" ] || fail "line breaks inside Japanese sentences: $broken"

[ "$failed" -eq 0 ] && echo "PASS: $japanese in step with $english"
exit "$failed"
