#include "wireEncoding.h"

#include <algorithm>

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

QStringList splitForWire(WireEncoding encoding, const QString &text, qsizetype maxBytes)
{
    QStringList pieces;
    qsizetype start = 0;
    do {
        // Every character takes a byte at least, and a longer piece never encodes shorter: the
        // longest piece that fits is found by halving.
        qsizetype fits = start;
        qsizetype tooLong = std::min(text.size(), start + std::max<qsizetype>(maxBytes, 1)) + 1;
        while (tooLong - fits > 1) {
            qsizetype middle = fits + (tooLong - fits) / 2;
            if (middle < text.size() && text.at(middle).isLowSurrogate())
                --middle;
            if (middle == fits)
                break;
            if (encodeForWire(encoding, text.mid(start, middle - start)).size() <= maxBytes)
                fits = middle;
            else
                tooLong = middle;
        }
        // One character always goes, whatever its length, so that the text is never lost.
        if (fits == start && start < text.size())
            fits = start + (text.at(start).isHighSurrogate() && start + 1 < text.size() ? 2 : 1);
        pieces << text.mid(start, fits - start);
        start = fits;
    } while (start < text.size());
    return pieces;
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
