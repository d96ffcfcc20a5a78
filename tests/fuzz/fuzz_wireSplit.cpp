// Each wire decoder fed the same bytes in random pieces gives what one whole read gives; and
// the decoded text, cut for the wire, keeps every character in pieces that fit.
// Input: one byte that chooses the encoding and seeds the split points, then the bytes.

#include "fuzzCheck.h"
#include "irc/wireEncoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    const WireEncoding encoding = WireEncoding(data[0] % 3);
    WireDecoder whole;
    whole.reset(encoding);
    const QString wholeText = whole.decode(bytes);

    WireDecoder pieces;
    pieces.reset(encoding);
    QString joined;
    quint32 state = data[0] * 2654435761u + 1;
    for (qsizetype at = 0; at < bytes.size();) {
        state = state * 1664525u + 1013904223u;
        const qsizetype length = qMin<qsizetype>(1 + (state >> 24) % 7, bytes.size() - at);
        joined += pieces.decode(bytes.mid(at, length));
        at += length;
    }
    require(joined == wholeText);
    // The code page converter marks invalid bytes with SUB; none may show through.
    require(encoding != WireEncoding::Cp932 || !joined.contains(QChar(0x1A)));

    const qsizetype maxBytes = 8 + data[0] % 64;
    const QStringList cut = splitForWire(encoding, wholeText, maxBytes);
    require(cut.join(QString()) == wholeText);
    for (const QString &piece : cut) {
        // A piece over the limit is a single character that cannot be made smaller.
        require(encodeForWire(encoding, piece).size() <= maxBytes || piece.size() <= 2);
        require(piece.isEmpty() || !piece.front().isLowSurrogate());
    }
    return 0;
}
