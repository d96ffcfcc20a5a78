#include "announcements.h"

#include <QTest>

using namespace Qt::StringLiterals;

QList<Announcement> countdownOnlyRun()
{
    return {{"NOTICE", u"計測時間0分 カウント開始"_s, 0},
            {"PRIVMSG", u"10＠"_s, 1000},
            {"PRIVMSG", u"9"_s, 2000},
            {"PRIVMSG", u"8"_s, 3000},
            {"PRIVMSG", u"7"_s, 4000},
            {"PRIVMSG", u"6"_s, 5000},
            {"PRIVMSG", u"5＠"_s, 6000},
            {"PRIVMSG", u"4＠"_s, 7000},
            {"PRIVMSG", u"3＠"_s, 8000},
            {"PRIVMSG", u"2＠"_s, 9000},
            {"PRIVMSG", u"1＠"_s, 10000},
            {"PRIVMSG", u"0＠"_s, 11000}};
}

QList<Announcement> oneMinuteRun()
{
    return {{"NOTICE", u"計測時間1分 カウント開始"_s, 0},
            {"PRIVMSG", u"10＠"_s, 1000},
            {"PRIVMSG", u"5＠"_s, 6000},
            {"PRIVMSG", u"4＠"_s, 7000},
            {"PRIVMSG", u"3＠"_s, 8000},
            {"PRIVMSG", u"2＠"_s, 9000},
            {"PRIVMSG", u"1＠"_s, 10000},
            {"PRIVMSG", u"0＠"_s, 11000},
            {"PRIVMSG", u"開始！＠"_s, 11000},
            {"PRIVMSG", u"終了＠"_s, 71000},
            {"PRIVMSG", u"終了＠"_s, 71000},
            {"PRIVMSG", u"終了＠"_s, 71000}};
}

void compareAnnouncements(const QList<IrcObserver::Said> &said, const QList<Announcement> &expected,
                          qint64 originMs, int lateMs)
{
    QCOMPARE(said.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QCOMPARE(said[i].command, expected[i].command);
        QCOMPARE(said[i].text, expected[i].text);
        const qint64 offset = said[i].arrivedMs - originMs - expected[i].idealMs;
        qInfo().noquote() << u"%1 %2: %3 ms"_s
                                 .arg(QString::fromLatin1(said[i].command), said[i].text)
                                 .arg(offset);
        // Never early; late by the server's flood control at most.
        QVERIFY2(offset >= -20 && offset <= lateMs, qPrintable(said[i].text));
    }
}
