#include "receivedLines.h"

#include <utility>

QString ReceivedLines::take(const QString &read)
{
    qsizetype from = 0;
    if (m_skippingLine) {
        const qsizetype lineEnd = read.indexOf(u'\n');
        if (lineEnd < 0)
            return {};
        m_skippingLine = false;
        from = lineEnd + 1;
    }
    const qsizetype lastEnd = read.lastIndexOf(u'\n');
    QString complete;
    if (lastEnd >= from) {
        complete = std::exchange(m_partial, QString());
        complete += QStringView(read).mid(from, lastEnd + 1 - from);
        from = lastEnd + 1;
    }
    m_partial += QStringView(read).mid(from);
    if (m_partial.size() > keptCharacters) {
        m_partial.clear();
        m_skippingLine = true;
    }
    return complete;
}

void ReceivedLines::clear()
{
    m_partial.clear();
    m_skippingLine = false;
}
