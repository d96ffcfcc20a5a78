#pragma once

#include <QByteArray>
#include <QString>

// ISO-2022-JP (RFC 1468), the encoding of the Japanese channels on IRCnet. Each line starts and
// ends in ASCII; a run of JIS X 0208 characters (rows 1 to 84, with the NEC specials of row 13
// that Japanese Windows sends) is switched in with ESC $ B. The JIS forms and their Windows
// look-alikes both go out as their JIS code, half-width katakana as their full-width forms, and
// anything else as "?".
QByteArray encodeIso2022Jp(const QString &text);

// One per connection. The escape sequences of ASCII, JIS-Roman, JIS C 6226, JIS X 0208 and
// JIS X 0201 katakana are understood; the mode returns to ASCII at each line end, and a
// sequence or a character split between two reads is decoded whole. Anything else becomes
// U+FFFD.
class Iso2022JpDecoder
{
public:
    QString decode(const QByteArray &bytes);
    void reset();

private:
    enum class Mode { Ascii, JisRoman, TwoByte, Katakana };

    void decodeByte(uchar byte, QString &text);
    void endEscape(QString &text);

    Mode m_mode = Mode::Ascii;
    // An escape sequence or the first byte of a two-byte character, not complete yet.
    QByteArray m_escape;
    int m_firstByte = -1;
};
