#!/usr/bin/env bash
# The Japanese documents keep up with the English ones: the README and the page on what the
# channel sees each link their other language, every section has its counterpart (by the pairs
# below; a new English section needs a new pair), README.ja.md gives the set-up commands
# exactly as README.md does, and no Japanese sentence is broken across lines. Both READMEs and
# both manual pages lead to the page on what the channel sees. The Japanese documents write as
# the program does: a full-width colon after Japanese text, and loanwords without their final
# long vowel. No document breaks a quoted text of the program across lines.
#   readmeInStep.sh SOURCE_DIR
set -euo pipefail
cd "$1"
english=README.md
japanese=README.ja.md
readme_pairs=(
    "Set up|セットアップ"
    "Installing|インストール"
    "A first run with the playground|プレイグラウンドで試す"
    "Using it|使い方"
    "When something goes wrong|困ったときは"
    "Accuracy|正確さ"
    "Working on Kestrion|開発者向け"
)
timing=docs/channel-timing.md
timing_japanese=docs/channel-timing.ja.md
timing_pairs=(
    "A run in the channel|チャンネルから見た計測"
    "Each server's limit|サーバごとの制限"
    "The wait at 開始|「開始」の待ち時間"
    "Lines held back|送るのを待たせる行"
    "When the lines arrived|行が届いた時刻"
)
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

# in_step ENGLISH JAPANESE PAIR...
in_step() {
    local english=$1 japanese=$2 heading pair counterpart
    shift 2
    head -n 5 "$english" | grep -qF "$(basename "$japanese"))" \
        || fail "$english does not link $japanese at its top"
    head -n 5 "$japanese" | grep -qF "$(basename "$english"))" \
        || fail "$japanese does not link $english at its top"
    while IFS= read -r heading; do
        counterpart=
        for pair in "$@"; do
            [ "${pair%%|*}" = "$heading" ] && counterpart=${pair#*|}
        done
        if [ -z "$counterpart" ]; then
            fail "section \"$heading\" of $english has no pair in $0"
        elif ! grep -qxF "## $counterpart" "$japanese"; then
            fail "section \"$heading\" has no counterpart \"## $counterpart\" in $japanese"
        fi
    done < <(sed -n 's/^## //p' "$english")
}
in_step "$english" "$japanese" "${readme_pairs[@]}"
in_step "$timing" "$timing_japanese" "${timing_pairs[@]}"

for pair in "$english|$timing" "$japanese|$timing_japanese" \
    "packaging/kestrion.1|channel-timing.md.gz" "packaging/kestrion.ja.1|channel-timing.ja.md.gz"; do
    grep -qF "${pair#*|}" "${pair%%|*}" || fail "${pair%%|*} does not lead to ${pair#*|}"
done

# The set-up commands are the indented lines of that section.
while IFS= read -r command; do
    grep -qxF "    $command" "$japanese" || fail "$japanese lacks the set-up command: $command"
done < <(sed -n '/^## Set up$/,/^## /s/^    \(.\)/\1/p' "$english")

# A line break between two Japanese characters shows in a browser as a stray blank inside the
# sentence: outside code blocks, each paragraph stands on one line.
broken=$(awk '/^```/ { code = !code; next }
    FNR == 1 { prev = "" }
    !code && prev ~ /[^\x01-\x7f]$/ && $0 ~ /^[^\x01-\x7f]/ { print FILENAME ":" FNR ": " $0 }
    { prev = $0 }' "$japanese" "$timing_japanese")
[ -z "$broken" ] || fail "line breaks inside Japanese sentences: $broken"

# A text of the program broken across lines reads with a blank inside it, which the program
# never writes: Japanese on both sides of a line break, or a double quote left open at a line's
# end, outside code and the manual pages' comments.
broken=$(perl -CSD -ne '
    my $ja = qr/[\x{3000}-\x{30FF}\x{4E00}-\x{9FFF}\x{FF00}-\x{FFEF}]/;
    if (/^\s*```/) { $code = !$code; $prev = ""; next }
    next if $code || /^\.\\"/;
    chomp(my $line = $_);
    (my $text = $line) =~ s/`[^`]*`//g;
    print "$ARGV:$.: $line\n" if ($prev =~ /$ja$/ && $text =~ /^\s*$ja/) || ($text =~ tr/"//) % 2;
    $prev = $text;
    if (eof) { close ARGV; $prev = ""; $code = 0 }' \
    "$english" "$japanese" "$timing" "$timing_japanese" docs/development.md \
    packaging/kestrion.1 packaging/kestrion.ja.1)
[ -z "$broken" ] || fail "a quoted text broken across lines: $broken"

japanese_documents=("$japanese" "$timing_japanese" packaging/kestrion.ja.1)

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

[ "$failed" -eq 0 ] && echo "PASS: the Japanese documents in step with the English ones"
exit "$failed"
