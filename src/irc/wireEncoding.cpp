#include "wireEncoding.h"

using namespace platform;

namespace {

// How many bytes at the end begin a UTF-8 character that is not complete yet.
qsizetype incompleteUtf8Tail(const QByteArray &bytes)
{
    for (qsizetype back = 1; back <= 3 && back <= bytes.size(); ++back) {
        const uchar byte = uchar(bytes.at(bytes.size() - back));
        if ((byte & 0xC0) == 0x80)
            continue;
        const int length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

} // namespace

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

QString WireDecoder::decode(const QByteArray &bytes)
{
    switch (m_encoding) {
    case WireEncoding::Iso2022Jp:
        return m_iso2022Jp.decode(bytes);
    case WireEncoding::Utf8: {
        // Qt's own stateful decoder drops the byte after a character cut off at the end of a
        // read when that byte does not continue it; whole characters decode alike either way.
        const QByteArray data = m_utf8Pending + bytes;
        const qsizetype complete = data.size() - incompleteUtf8Tail(data);
        m_utf8Pending = data.mid(complete);
        return QString::fromUtf8(data.left(complete));
    }
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
    m_utf8Pending.clear();
}
