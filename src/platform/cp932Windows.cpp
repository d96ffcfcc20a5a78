#include "cp932.h"

#include <windows.h>

namespace platform {
namespace {

constexpr UINT codePage932 = 932;

bool isLeadByte(uchar byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool isTrailByte(uchar byte)
{
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

// Windows gives these bytes private or control characters; they are no characters of the code
// page, and are shown as invalid, as on every other system.
bool isUnassignedSingleByte(uchar byte)
{
    return byte == 0x80 || byte == 0xA0 || byte >= 0xFD;
}

// Text for complete characters, or nothing when Windows finds an invalid one among them.
std::optional<QString> decodeStrictly(const char *bytes, int length)
{
    const int size
        = MultiByteToWideChar(codePage932, MB_ERR_INVALID_CHARS, bytes, length, nullptr, 0);
    if (size <= 0)
        return std::nullopt;
    QString text(size, Qt::Uninitialized);
    MultiByteToWideChar(codePage932, MB_ERR_INVALID_CHARS, bytes, length,
                        reinterpret_cast<wchar_t *>(text.data()), size);
    return text;
}

struct Scan
{
    // Bytes that hold whole characters; a lead byte at the end waits for its trail.
    qsizetype complete;
    // No lead byte without a proper trail and no byte Windows would make a private character:
    // Windows may convert them in one go.
    bool plain;
};

Scan scan(const QByteArray &bytes)
{
    bool plain = true;
    for (qsizetype at = 0; at < bytes.size(); ++at) {
        const uchar byte = uchar(bytes.at(at));
        if (!isLeadByte(byte))
            plain = plain && !isUnassignedSingleByte(byte);
        else if (at + 1 == bytes.size())
            return {at, plain};
        else
            plain = plain && isTrailByte(uchar(bytes.at(++at)));
    }
    return {bytes.size(), plain};
}

QString decodeCharacterByCharacter(const QByteArray &bytes)
{
    QString text;
    for (qsizetype at = 0; at < bytes.size();) {
        const uchar byte = uchar(bytes.at(at));
        const bool lead = isLeadByte(byte);
        // A lead byte without a proper trail is invalid on its own; the byte after it starts
        // the next character.
        if (lead ? !isTrailByte(uchar(bytes.at(at + 1))) : isUnassignedSingleByte(byte)) {
            text += QChar::ReplacementCharacter;
            ++at;
            continue;
        }
        const int length = lead ? 2 : 1;
        text += decodeStrictly(bytes.constData() + at, length)
                    .value_or(QString(QChar::ReplacementCharacter));
        at += length;
    }
    return text;
}

} // namespace

std::optional<QByteArray> encodeCp932Strictly(QStringView text)
{
    if (text.isEmpty())
        return QByteArray();
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    // No best fit: a character the code page lacks must not turn into a different one.
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(codePage932, WC_NO_BEST_FIT_CHARS, wide, int(text.size()),
                                         nullptr, 0, "?", &usedDefault);
    if (size <= 0 || usedDefault)
        return std::nullopt;
    QByteArray bytes(size, Qt::Uninitialized);
    WideCharToMultiByte(codePage932, WC_NO_BEST_FIT_CHARS, wide, int(text.size()), bytes.data(),
                        size, "?", &usedDefault);
    return bytes;
}

Cp932Decoder::Cp932Decoder() = default;

QString Cp932Decoder::decode(const QByteArray &received)
{
    // Windows' conversion keeps no state between calls; a lead byte at the end waits here for
    // the next read.
    QByteArray bytes = m_pendingLead + received;
    const Scan found = scan(bytes);
    m_pendingLead = bytes.mid(found.complete);
    bytes.truncate(found.complete);
    if (bytes.isEmpty())
        return QString();
    if (found.plain)
        if (std::optional<QString> text = decodeStrictly(bytes.constData(), int(bytes.size())))
            return *text;
    return decodeCharacterByCharacter(bytes);
}

void Cp932Decoder::reset()
{
    m_pendingLead.clear();
}

} // namespace platform
