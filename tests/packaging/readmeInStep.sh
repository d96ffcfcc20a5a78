#!/usr/bin/env bash
# The Japanese README keeps up with the English one: the two link each other, every section
# of README.md has its counterpart in README.ja.md (by the pairs below; a new English section
# needs a new pair), and README.ja.md gives the set-up commands exactly as README.md does.
#   readmeInStep.sh SOURCE_DIR
set -euo pipefail
cd "$1"
english=README.md
japanese=README.ja.md
pairs=(
    "Try it without an IRC network|IRCネットワークなしで試す"
    "Set up|セットアップ"
    "Install it|インストール"
    "Using it|使い方"
    "Servers and encodings|サーバと文字コード"
    "Encrypted connections and server passwords|暗号化とサーバのパスワード"
    "Accessibility|アクセシビリティ"
    "Windows|Windows"
    "Performance|性能"
    "Reliability|信頼性"
    "How it works|仕組み"
    "Building by hand|手動でのビルド"
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

[ "$failed" -eq 0 ] && echo "PASS: $japanese in step with $english"
exit "$failed"
