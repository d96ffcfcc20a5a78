#pragma once

#include "iso2022jp.h"
#include "platform/cp932.h"

#include <QByteArray>
#include <QString>

// The encodings of Japanese channels, in the order the connect dialog offers them: the code
// page of Japanese Windows, IRCnet's traditional ISO-2022-JP, and UTF-8 of modern networks.
enum class WireEncoding { Cp932, Iso2022Jp, Utf8 };

QByteArray encodeForWire(WireEncoding encoding, const QString &text);

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
