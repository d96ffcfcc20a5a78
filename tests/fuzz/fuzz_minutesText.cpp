// The minutes text: any typed text is either rejected with one of the three messages and reset
// to "20", or normalised to plain digits from 0 to 120 that read back unchanged.

#include "fuzzCheck.h"
#include "timer/minutesText.h"

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString typed = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const minutesText::Check result = minutesText::check(typed);
    if (result.verdict != minutesText::Verdict::Accepted) {
        require(result.text == u"20"_s);
        const QString message = minutesText::messageFor(result.verdict);
        require(message == u"空白は入力できません"_s || message == u"数字以外は入力できません"_s
                || message == u"0分～120分まで対応しています"_s);
        return 0;
    }
    require(!result.text.isEmpty() && result.text.size() <= 3);
    for (QChar ch : result.text)
        require(ch >= u'0' && ch <= u'9');
    require(result.text == u"0"_s || result.text.front() != u'0');
    require(result.text.toInt() >= 0 && result.text.toInt() <= 120);
    const minutesText::Check again = minutesText::check(result.text);
    require(again.verdict == minutesText::Verdict::Accepted && again.text == result.text);
    require(minutesText::measuringMinutes(result.text) == qint16(result.text.toInt()));
    return 0;
}
