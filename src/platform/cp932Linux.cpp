#include "cp932.h"

#include <QStringEncoder>

namespace platform {
namespace {

constexpr const char *codePage932 = "windows-31j";

} // namespace

std::optional<QByteArray> encodeCp932Strictly(QStringView text)
{
    // The converter marks what it cannot hold with a substitute of its own and an error.
    QStringEncoder encoder(codePage932, QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
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
