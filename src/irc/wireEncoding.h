#pragma once

#include "iso2022jp.h"
#include "platform/cp932.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The encodings of Japanese channels, in the order the connect dialog offers them: the code
// page of Japanese Windows, IRCnet's traditional ISO-2022-JP, and UTF-8 of modern networks.
enum class WireEncoding { Cp932, Iso2022Jp, Utf8 };

QByteArray encodeForWire(WireEncoding encoding, const QString &text);

// The text in pieces of at most maxBytes each once encoded, cut only between characters: never
// between the two bytes of a CP932 character or inside a UTF-8 one, and each ISO-2022-JP piece
// starting and ending in ASCII. Every character is kept; an empty text is one empty piece.
QStringList splitForWire(WireEncoding encoding, const QString &text, qsizetype maxBytes);

// One per connection: a character split between two reads comes out whole, and invalid bytes
// become U+FFFD.
class WireDecoder
{
public:
    QString decode(const QByteArray &bytes);
    // Forgets any partial character, and decodes what follows in the given encoding.
    void reset(WireEncoding encoding);

private:
    WireEncoding m_encoding = WireEncoding::Cp932;
    platform::Cp932Decoder m_cp932;
    Iso2022JpDecoder m_iso2022Jp;
    // The start of a UTF-8 character whose other bytes have not arrived yet.
    QByteArray m_utf8Pending;
};
