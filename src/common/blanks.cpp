#include "blanks.h"

bool isBlank(QChar ch)
{
    return ch == u' ' || ch == QChar(0x3000);
}

QString withoutSurroundingBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}
