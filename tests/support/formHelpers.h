#pragma once

#include "app/frmMain.h"
#include "app/logView.h"

#include <QRegularExpression>
#include <QStringList>

// The status log's entries with their time stamps taken off, in order. The box's first line
// is always the empty one before the first entry.
inline QStringList statusEntries(frmMain &form)
{
    static const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d"));
    QStringList lines = form.txtStatus->logText().split(QLatin1Char('\n'));
    lines.removeFirst();
    for (QString &line : lines)
        line.remove(stamp);
    return lines;
}
