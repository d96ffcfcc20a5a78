#pragma once

#include <QList>
#include <QString>

// A line for the channel, and when it is due: milliseconds from a start, or on the run clock.
struct ScheduledLine
{
    enum class Kind { Privmsg, Notice };
    Kind kind = Kind::Privmsg;
    QString text;
    qint64 dueMs = 0;
    // The last line of the countdown or of the run: the status log says when it reached the
    // channel.
    bool reportsArrival = false;
};

using ScheduledLines = QList<ScheduledLine>;
