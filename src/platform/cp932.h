#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

namespace platform {

// The wire encoding of the Japanese systems the program serves (code page 932). The JIS forms
// that Linux input methods type go out as their Windows look-alikes (〜 as ～); any other
// character the code page cannot hold is sent as "?".
QByteArray encodeCp932(const QString &text);

// One per connection: a double-byte character split across two reads comes out whole, and
// invalid bytes become U+FFFD.
class Cp932Decoder
{
public:
    Cp932Decoder();
    QString decode(const QByteArray &bytes);
    void reset();

private:
    QStringDecoder m_decoder;
};

} // namespace platform
