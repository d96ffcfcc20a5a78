#include "iso2022jp.h"

#include "platform/cp932.h"

#include <optional>
#include <utility>

using namespace platform;

namespace {

constexpr char16_t replacement = u'\uFFFD';
constexpr int jisRows = 94;
// JIS X 0208 assigns characters up to row 84; the code page's rows beyond are IBM's additions.
constexpr int jisX0208Rows = 84;

bool isHalfWidthKatakana(QChar ch)
{
    return ch.unicode() >= 0xFF61 && ch.unicode() <= 0xFF9F;
}

// JIS X 0208 has no half-width forms; a Japanese mail or chat program sends the full-width ones,
// with a voiced mark joined to its letter (ｶﾞ as ガ).
QString withFullWidthKatakana(const QString &text)
{
    QString result;
    for (qsizetype at = 0; at < text.size();) {
        if (!isHalfWidthKatakana(text.at(at))) {
            result += text.at(at++);
            continue;
        }
        qsizetype end = at;
        while (end < text.size() && isHalfWidthKatakana(text.at(end)))
            ++end;
        QString run = text.mid(at, end - at).normalized(QString::NormalizationForm_KC);
        // A voiced mark with no letter to join stays a mark of its own.
        run.replace(QChar(0x3099), QChar(0x309B));
        run.replace(QChar(0x309A), QChar(0x309C));
        // ヷ and ヺ have no JIS X 0208 code: the letter and a mark of its own say the same.
        run.replace(QChar(0x30F7), QStringLiteral("ワ゛"));
        run.replace(QChar(0x30FA), QStringLiteral("ヲ゛"));
        result += run;
        at = end;
    }
    return result;
}

// Shift_JIS and JIS X 0208 number the same characters; only the arithmetic differs.
std::optional<std::pair<char, char>> jisCodeOf(QStringView character)
{
    const std::optional<QByteArray> shiftJis = encodeCp932Strictly(character);
    if (!shiftJis || shiftJis->size() != 2)
        return std::nullopt;
    const uchar lead = uchar(shiftJis->at(0));
    const uchar trail = uchar(shiftJis->at(1));
    if (lead < 0x81 || (lead > 0x9F && lead < 0xE0))
        return std::nullopt;
    const int row = (lead >= 0xE0 ? lead - 0xC1 : lead - 0x81) * 2 + (trail >= 0x9F ? 1 : 0);
    if (row >= jisX0208Rows)
        return std::nullopt;
    const int cell = trail >= 0x9F ? trail - 0x9F : trail - (trail >= 0x80 ? 0x41 : 0x40);
    return std::pair {char(0x21 + row), char(0x21 + cell)};
}

QByteArray shiftJisOf(int first, int second)
{
    int lead = ((first - 0x21) >> 1) + 0x81;
    if (lead > 0x9F)
        lead += 0x40;
    int trail = second + 0x7E;
    if (first & 1) {
        trail = second + 0x1F;
        if (trail >= 0x7F)
            ++trail;
    }
    QByteArray bytes;
    bytes += char(lead);
    bytes += char(trail);
    return bytes;
}

// All 94 × 94 codes at once, through the code page, so a code the code page lacks cannot take
// the next character's bytes with it.
QChar jisCharacter(int first, int second)
{
    static const QString table = [] {
        QString characters;
        Cp932Decoder decoder;
        for (int row = 0; row < jisRows; ++row) {
            for (int cell = 0; cell < jisRows; ++cell) {
                decoder.reset();
                const QString one = decoder.decode(shiftJisOf(0x21 + row, 0x21 + cell));
                characters += one.size() == 1 ? one.at(0) : QChar(replacement);
            }
        }
        return characters;
    }();
    return table.at((first - 0x21) * jisRows + second - 0x21);
}

} // namespace

QByteArray encodeIso2022Jp(const QString &typedText)
{
    const QString text = withWindowsLookAlikes(withFullWidthKatakana(typedText));
    QByteArray bytes;
    bool inJis = false;
    const auto switchTo = [&](bool jis) {
        if (jis != inJis)
            bytes += jis ? "\x1B$B" : "\x1B(B";
        inJis = jis;
    };
    for (qsizetype at = 0; at < text.size();) {
        const qsizetype length = text.at(at).isHighSurrogate() && at + 1 < text.size() ? 2 : 1;
        const QStringView character = QStringView(text).mid(at, length);
        at += length;
        const char16_t code = character.at(0).unicode();
        // An escape of the user's own would switch the receiver's decoder.
        if (length == 1 && code < 0x80 && code != 0x1B) {
            switchTo(false);
            bytes += char(code);
        } else if (const auto jis = jisCodeOf(character)) {
            switchTo(true);
            bytes += jis->first;
            bytes += jis->second;
        } else {
            switchTo(false);
            bytes += '?';
        }
    }
    switchTo(false);
    return bytes;
}

QString Iso2022JpDecoder::decode(const QByteArray &bytes)
{
    QString text;
    for (char byte : bytes)
        decodeByte(uchar(byte), text);
    return text;
}

void Iso2022JpDecoder::reset()
{
    m_mode = Mode::Ascii;
    m_escape.clear();
    m_firstByte = -1;
}

void Iso2022JpDecoder::decodeByte(uchar byte, QString &text)
{
    if (!m_escape.isEmpty()) {
        m_escape += char(byte);
        endEscape(text);
        return;
    }
    const bool lineEnd = byte == '\r' || byte == '\n';
    if (byte == 0x1B || lineEnd) {
        if (m_firstByte >= 0)
            text += QChar(replacement);
        m_firstByte = -1;
        if (byte == 0x1B) {
            m_escape = QByteArray(1, char(byte));
            return;
        }
        // A line that ends without switching back must not garble the next one.
        m_mode = Mode::Ascii;
        text += QChar(char16_t(byte));
        return;
    }
    switch (m_mode) {
    case Mode::TwoByte:
        if (byte >= 0x21 && byte <= 0x7E) {
            if (m_firstByte < 0) {
                m_firstByte = byte;
            } else {
                text += jisCharacter(m_firstByte, byte);
                m_firstByte = -1;
            }
            return;
        }
        break;
    case Mode::Katakana:
        if (byte >= 0x21 && byte <= 0x5F) {
            text += QChar(0xFF40 + byte);
            return;
        }
        break;
    case Mode::JisRoman:
        if (byte == 0x5C || byte == 0x7E) {
            text += QChar(byte == 0x5C ? 0x00A5 : 0x203E);
            return;
        }
        break;
    case Mode::Ascii:
        break;
    }
    if (m_firstByte >= 0)
        text += QChar(replacement);
    m_firstByte = -1;
    const bool asciiMode = m_mode == Mode::Ascii || m_mode == Mode::JisRoman;
    const bool plain = byte < 0x21 || (asciiMode && byte < 0x80);
    text += QChar(plain ? char16_t(byte) : replacement);
}

void Iso2022JpDecoder::endEscape(QString &text)
{
    static const std::pair<QByteArray, Mode> designations[] = {
        {"\x1B(B", Mode::Ascii},   {"\x1B(J", Mode::JisRoman}, {"\x1B$@", Mode::TwoByte},
        {"\x1B$B", Mode::TwoByte}, {"\x1B(I", Mode::Katakana},
    };
    for (const auto &[sequence, mode] : designations) {
        if (m_escape == sequence) {
            m_mode = mode;
            m_escape.clear();
            return;
        }
        if (sequence.startsWith(m_escape))
            return;
    }
    // No sequence we know: the escape is invalid, the bytes after it are text again.
    const QByteArray rest = m_escape.mid(1);
    m_escape.clear();
    text += QChar(replacement);
    for (char byte : rest)
        decodeByte(uchar(byte), text);
}
