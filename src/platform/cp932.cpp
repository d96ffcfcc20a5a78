#include "cp932.h"

#include <QStringEncoder>
#include <utility>

namespace platform {
namespace {

constexpr const char *codePage932 = "windows-31j";

// Linux input methods type the JIS forms of these characters, which the code page lacks; a
// Japanese Windows program sends its look-alikes, and that is what everyone else in the
// channel expects to receive.
constexpr std::pair<char16_t, char16_t> windowsLookAlikes[] = {
    {u'\u301C', u'\uFF5E'}, {u'\u2016', u'\u2225'}, {u'\u2212', u'\uFF0D'}, {u'\u00A2', u'\uFFE0'},
    {u'\u00A3', u'\uFFE1'}, {u'\u00AC', u'\uFFE2'}, {u'\u2014', u'\u2015'},
};

QString withWindowsLookAlikes(QString text)
{
    for (const auto &[typed, sent] : windowsLookAlikes)
        text.replace(QChar(typed), QChar(sent));
    return text;
}

} // namespace

QByteArray encodeCp932(const QString &typedText)
{
    const QString text = withWindowsLookAlikes(typedText);
    QStringEncoder whole(codePage932, QStringConverter::Flag::Stateless);
    QByteArray bytes = whole.encode(text);
    if (!whole.hasError())
        return bytes;

    // The converter marks what it cannot hold with its own two-byte substitute; find those
    // characters one by one and send the "?" a user of this code page expects.
    bytes.clear();
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QStringEncoder single(codePage932, QStringConverter::Flag::Stateless);
        const QByteArray encoded = single.encode(QStringView(text).mid(i, length));
        bytes += single.hasError() ? QByteArray("?") : encoded;
        i += length;
    }
    return bytes;
}

Cp932Decoder::Cp932Decoder()
    : m_decoder(codePage932)
{
}

QString Cp932Decoder::decode(const QByteArray &bytes)
{
    QString text = m_decoder.decode(bytes);
    // The converter turns invalid bytes into SUB (U+001A). A real SUB is a control character
    // that no chat carries, so both are shown as the replacement character.
    text.replace(QChar(0x1A), QChar::ReplacementCharacter);
    return text;
}

void Cp932Decoder::reset()
{
    m_decoder.resetState();
}

} // namespace platform
