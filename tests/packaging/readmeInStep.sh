#!/usr/bin/env bash
# The Japanese README keeps up with the English one: the two link each other, every section
# of README.md has its counterpart in README.ja.md (by the pairs below; a new English section
# needs a new pair), README.ja.md gives the set-up commands exactly as README.md does, and
# breaks no Japanese sentence across lines. The Japanese documents write as the program does:
# a full-width colon after Japanese text, and loanwords without their final long vowel.
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

japanese_documents=("$japanese" packaging/kestrion.ja.1)

# An ASCII colon after Japanese text, outside code and outside the program's own texts in
# 「」 (which keep theirs: "[-] 未接続のため送信できません: …").
colons=$(perl -CSD -Mutf8 -ne '
    if (/^```/) { $code = !$code; next }
    next if $code;
    my $line = $_;
    s/`[^`]*`//g;
    1 while s/「[^「」]*」/〓/;
    print "$ARGV:$.: $line" if /[^\x00-\x7f](\*\*)?:/;
    close ARGV if eof' "${japanese_documents[@]}")
[ -z "$colons" ] || fail "an ASCII colon after Japanese text (write ：): $colons"

# The program writes サーバ and ユーザ, so the documents drop the final ー of such words.
long_vowels=(ユーザ サーバ コンピュータ ルータ オペレータ インストーラ スクリーンリーダ バウンサ
    タイマ タイムキーパ フォルダ ブラウザ プロセッサ マネージャ パラメータ ドライバ エディタ
    メンバ プレイヤ ヘッダ ビューア コンバータ モニタ カウンタ フィルタ)
for word in "${long_vowels[@]}"; do
    found=$(grep -n -F "${word}ー" "${japanese_documents[@]}" || true)
    [ -z "$found" ] || fail "write $word, not ${word}ー: $found"
done

[ "$failed" -eq 0 ] && echo "PASS: $japanese in step with $english"
exit "$failed"
