#include "minutesText.h"

#include "common/blanks.h"
#include "platform/cLocaleNumber.h"

#include <QRegularExpression>
#include <cmath>

using namespace Qt::StringLiterals;

namespace minutesText {
namespace {

// Typed with the Japanese input method on, digits, signs, the point and the exponent letter
// arrive in their full-width forms.
QChar toAscii(QChar ch)
{
    const char16_t code = ch.unicode();
    if (code >= 0xFF10 && code <= 0xFF19)
        return QChar(u'0' + (code - 0xFF10));
    switch (code) {
    case 0xFF0B:
        return u'+';
    case 0xFF0D:
    case 0x2212:
        return u'-';
    case 0xFF0E:
        return u'.';
    case 0xFF25:
        return u'E';
    case 0xFF45:
        return u'e';
    default:
        return ch;
    }
}

QString asciiNumberText(const QString &typed)
{
    QString ascii = withoutSurroundingBlanks(typed);
    for (QChar &ch : ascii)
        ch = toAscii(ch);
    return ascii;
}

} // namespace

QString defaultText()
{
    return u"20"_s;
}

std::optional<double> roundedValue(const QString &text)
{
    static const QRegularExpression decimalNumber(
        u"^[+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?$"_s);
    const QString ascii = asciiNumberText(text);
    if (!decimalNumber.match(ascii).hasMatch())
        return std::nullopt;
    // nearbyint() in the default rounding mode sends ties to the even neighbour. An exponent
    // too large for a double gives infinity, which the range test rejects.
    return std::nearbyint(platform::parseDoubleInCLocale(ascii.toLatin1()));
}

Check check(const QString &typed)
{
    if (typed.isEmpty())
        return {Verdict::Empty, defaultText()};
    const std::optional<double> value = roundedValue(typed);
    if (!value)
        return {Verdict::NotANumber, defaultText()};
    if (!(*value >= 0 && *value <= maximumMinutes))
        return {Verdict::OutOfRange, defaultText()};
    return {Verdict::Accepted, QString::number(int(*value))};
}

QString messageFor(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Empty:
        return u"空白は入力できません"_s;
    case Verdict::NotANumber:
        return u"数字以外は入力できません"_s;
    case Verdict::OutOfRange:
        return u"0分～120分まで対応しています"_s;
    case Verdict::Accepted:
        break;
    }
    return {};
}

std::optional<qint16> measuringMinutes(const QString &text)
{
    const Check result = check(text);
    if (result.verdict != Verdict::Accepted)
        return std::nullopt;
    return qint16(result.text.toInt());
}

} // namespace minutesText
