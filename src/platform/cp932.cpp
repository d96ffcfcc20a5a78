#include "cp932.h"

#include <utility>

namespace platform {
namespace {

// Linux input methods type the JIS forms of these characters, which the code page lacks; a
// Japanese Windows program sends its look-alikes, and that is what everyone else in the
// channel expects to receive.
constexpr std::pair<char16_t, char16_t> windowsLookAlikes[] = {
    {u'\u301C', u'\uFF5E'}, {u'\u2016', u'\u2225'}, {u'\u2212', u'\uFF0D'}, {u'\u00A2', u'\uFFE0'},
    {u'\u00A3', u'\uFFE1'}, {u'\u00AC', u'\uFFE2'}, {u'\u2014', u'\u2015'},
};

} // namespace

QString withWindowsLookAlikes(QString text)
{
    for (const auto &[typed, sent] : windowsLookAlikes)
        text.replace(QChar(typed), QChar(sent));
    return text;
}

QByteArray encodeCp932(const QString &typedText)
{
    const QString text = withWindowsLookAlikes(typedText);
    if (std::optional<QByteArray> bytes = encodeCp932Strictly(text))
        return *bytes;

    // Find the characters the code page cannot hold one by one, and send the "?" a user of this
    // code page expects in their place.
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        bytes += encodeCp932Strictly(QStringView(text).mid(i, length)).value_or("?");
        i += length;
    }
    return bytes;
}

} // namespace platform
