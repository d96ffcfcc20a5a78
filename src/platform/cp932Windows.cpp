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

// Where the last character begins that is still waiting for its trail byte, or length.
qsizetype completeLength(const QByteArray &bytes)
{
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype length = isLeadByte(uchar(bytes.at(at))) ? 2 : 1;
        if (at + length > bytes.size())
            return at;
        at += length;
    }
    return bytes.size();
}

QString decodeCharacterByCharacter(const QByteArray &bytes)
{
    QString text;
    for (qsizetype at = 0; at < bytes.size();) {
        const uchar byte = uchar(bytes.at(at));
        // A lead byte without a proper trail is invalid on its own; the byte after it starts
        // the next character.
        qsizetype length = 1;
        if (isLeadByte(byte))
            length = isTrailByte(uchar(bytes.at(at + 1))) ? 2 : 0;
        if (length == 0 || isUnassignedSingleByte(byte)) {
            text += QChar::ReplacementCharacter;
            at += 1;
            continue;
        }
        text += decodeStrictly(bytes.constData() + at, int(length))
                    .value_or(QString(QChar::ReplacementCharacter));
        at += length;
    }
    return text;
}

bool holdsUnassignedSingleByte(const QByteArray &bytes)
{
    for (qsizetype at = 0; at < bytes.size(); ++at) {
        const uchar byte = uchar(bytes.at(at));
        if (isLeadByte(byte))
            ++at;
        else if (isUnassignedSingleByte(byte))
            return true;
    }
    return false;
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
    const qsizetype complete = completeLength(bytes);
    m_pendingLead = bytes.mid(complete);
    bytes.truncate(complete);
    if (bytes.isEmpty())
        return QString();
    if (!holdsUnassignedSingleByte(bytes))
        if (std::optional<QString> text = decodeStrictly(bytes.constData(), int(bytes.size())))
            return *text;
    return decodeCharacterByCharacter(bytes);
}

void Cp932Decoder::reset()
{
    m_pendingLead.clear();
}

} // namespace platform
