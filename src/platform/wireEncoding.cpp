#include "wireEncoding.h"

namespace platform {

QByteArray encodeForWire(WireEncoding encoding, const QString &text)
{
    switch (encoding) {
    case WireEncoding::Iso2022Jp:
        return encodeIso2022Jp(text);
    case WireEncoding::Utf8:
        // The JIS forms are the right characters here: no look-alikes.
        return text.toUtf8();
    case WireEncoding::Cp932:
        break;
    }
    return encodeCp932(text);
}

WireDecoder::WireDecoder()
    : m_utf8(QStringDecoder::Utf8)
{
}

QString WireDecoder::decode(const QByteArray &bytes)
{
    switch (m_encoding) {
    case WireEncoding::Iso2022Jp:
        return m_iso2022Jp.decode(bytes);
    case WireEncoding::Utf8:
        return m_utf8.decode(bytes);
    case WireEncoding::Cp932:
        break;
    }
    return m_cp932.decode(bytes);
}

void WireDecoder::reset(WireEncoding encoding)
{
    m_encoding = encoding;
    m_cp932.reset();
    m_iso2022Jp.reset();
    m_utf8.resetState();
}

} // namespace platform
