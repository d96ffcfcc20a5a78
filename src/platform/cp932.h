#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#ifndef Q_OS_WIN
#include <QStringDecoder>
#endif

namespace platform {

// The wire encoding of the Japanese systems the program serves (code page 932). The JIS forms
// that Linux input methods type go out as their Windows look-alikes (〜 as ～); any other
// character the code page cannot hold is sent as "?".
QByteArray encodeCp932(const QString &text);

// The text with the JIS forms that Linux input methods type replaced by the look-alikes that a
// Japanese Windows program types and sends.
QString withWindowsLookAlikes(QString text);

// The bytes of text in the code page, or nothing when it cannot hold every character.
std::optional<QByteArray> encodeCp932Strictly(QStringView text);

// One per connection: a double-byte character split across two reads comes out whole, and
// invalid bytes become U+FFFD.
class Cp932Decoder
{
public:
    Cp932Decoder();
    QString decode(const QByteArray &bytes);
    void reset();

private:
#ifdef Q_OS_WIN
    // A lead byte whose trail byte has not arrived yet.
    QByteArray m_pendingLead;
#else
    QStringDecoder m_decoder;
#endif
};

} // namespace platform
