#pragma once

#include "ircObserver.h"

#include <QList>
#include <QString>

// What a run says in the channel, and when.
struct Announcement
{
    QByteArray command;
    QString text;
    int idealMs; // after the start click
};

QList<Announcement> countdownOnlyRun();
QList<Announcement> oneMinuteRun();

// The lines said match the expected ones, each arriving never early and late by at most
// lateMs, counted from originMs; prints each line's offset.
void compareAnnouncements(const QList<IrcObserver::Said> &said, const QList<Announcement> &expected,
                          qint64 originMs, int lateMs);
