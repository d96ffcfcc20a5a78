#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// What a run in #chan should announce, tick by tick, written out as the channel reads it.
namespace runSchedule {

using namespace Qt::StringLiterals;

// The lines the server should receive, by tick; tick 0 is the start click.
using Schedule = QMap<int, QStringList>;

inline QString message(const QString &text)
{
    return u"PRIVMSG #chan :"_s + text;
}

inline QString notice(const QString &text)
{
    return u"NOTICE #chan :"_s + text;
}

// The window's caption when no run shows in it.
inline const QString base = QStringLiteral("ケストリオン");

// Ticks 1 to 11 of a timed run (N > 0): the marked countdown, then the start.
inline Schedule timedCountdown(int minutes)
{
    return {{0, {notice(u"計測時間%1分 カウント開始"_s.arg(minutes))}},
            {1, {message(u"10＠"_s)}},
            {6, {message(u"5＠"_s)}},
            {7, {message(u"4＠"_s)}},
            {8, {message(u"3＠"_s)}},
            {9, {message(u"2＠"_s)}},
            {10, {message(u"1＠"_s)}},
            {11, {message(u"0＠"_s), message(u"開始！＠"_s)}}};
}

// A timed run whose minute marks all read alike: each minute k sends "k分経過＠", the
// remaining-minutes notice starts at firstNoticeMinute, and the end sends "終了＠" three times.
inline Schedule timedRun(int minutes, int firstNoticeMinute)
{
    Schedule schedule = timedCountdown(minutes);
    for (int k = 1; k < minutes; ++k) {
        QStringList lines {message(u"%1分経過＠"_s.arg(k))};
        if (k >= firstNoticeMinute)
            lines << notice(u"残り%1分"_s.arg(minutes - k));
        schedule.insert(11 + 60 * k, lines);
    }
    schedule.insert(11 + 60 * minutes,
                    {message(u"終了＠"_s), message(u"終了＠"_s), message(u"終了＠"_s)});
    return schedule;
}

inline QStringList timerLog(const QList<int> &fiveMinuteMarks)
{
    QStringList log {u"[t] カウント開始"_s, u"[t] 計測開始"_s};
    for (int k : fiveMinuteMarks)
        log << u"[t] 開始から%1分経過"_s.arg(k);
    log << u"[t] 計測終了"_s;
    return log;
}

} // namespace runSchedule
