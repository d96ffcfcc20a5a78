#include "irc/floodAccount.h"
#include "timer/measurementRun.h"

#include <QTest>

using namespace Qt::StringLiterals;
using Family = FloodAccount::Family;

Q_DECLARE_METATYPE(FloodAccount::Family)

namespace {

// "ms LINE", the line short of a hundred bytes unless it says "/bytes" after the time.
FloodAccount::Line lineOf(const QString &entry)
{
    const QString head = entry.section(u' ', 0, 0);
    const QString text = entry.section(u' ', 1);
    const qsizetype slash = head.indexOf(u'/');
    const qsizetype bytes = slash < 0 ? text.size() + 2 : head.mid(slash + 1).toLongLong();
    return FloodAccount::lineOf(text, bytes,
                                head.left(slash < 0 ? head.size() : slash).toLongLong());
}

QList<FloodAccount::Line> linesOf(const QStringList &entries)
{
    QList<FloodAccount::Line> lines;
    for (const QString &entry : entries)
        lines << lineOf(entry);
    return lines;
}

// The login: three lines before the welcome, two after it; irc2 counts 13 s for it.
const QStringList login {u"0 CAP LS 302"_s, u"0 NICK Timer"_s, u"0 USER tmr103 h s :Kestrion"_s,
                         u"0 JOIN #c"_s, u"0 MODE #c +sn"_s};
// The first lines of a run, as the server reads them at their seconds.
QStringList runLines(const QString &minutes, qsizetype count)
{
    QStringList lines;
    for (const ScheduledLine &line : allRunLines(minutes).mid(0, count))
        lines << u"%1 PRIVMSG #c :%2"_s.arg(line.dueMs).arg(line.text);
    return lines;
}

const QStringList timedCountdown = runLines(u"1"_s, 9);
const QStringList countdownOnly = runLines(u"0"_s, 12);

// Books the lines before; the welcome and 004 come between the login's USER and JOIN.
FloodAccount accountAfter(Family family, const QStringList &before)
{
    FloodAccount account;
    for (const FloodAccount::Line &line : linesOf(before)) {
        if (line.message.command == u"JOIN") {
            account.setRegistered(true);
            account.setFamily(family, line.dueMs);
        }
        account.book(line, line.dueMs);
    }
    account.setFamily(family, 0);
    account.setRegistered(true);
    return account;
}

} // namespace

// The server's account of our lines, family by family: when it relays each line, and when a
// run can start so that it holds none.
class tst_floodAccount : public QObject
{
    Q_OBJECT

private slots:
    void relaysEachLineWhenTheRuleLetsIt_data()
    {
        QTest::addColumn<Family>("family");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QList<qint64>>("relayed");
        QTest::newRow("irc2, twelve lines in eleven seconds")
            << Family::Irc2 << countdownOnly
            << QList<qint64> {0,    1000, 2000, 3000, 4000,  5000,
                              6000, 7000, 8000, 9001, 11001, 13001};
        QTest::newRow("irc2, a ping's PONG and NAMES in the countdown")
            << Family::Irc2 << QStringList {u"0 PONG irc.test"_s,      u"0 NAMES #c"_s,
                                            u"1000 PRIVMSG #c :4＠"_s, u"2000 PRIVMSG #c :3＠"_s,
                                            u"3000 PRIVMSG #c :2＠"_s, u"4000 PRIVMSG #c :1＠"_s}
            << QList<qint64> {0, 0, 1000, 2000, 3000, 4001};
        QTest::newRow("irc2, bytes by the hundred and each target")
            << Family::Irc2
            << QStringList {u"0/250 PRIVMSG #a,#b :x"_s, u"0/250 PRIVMSG #a,#b :x"_s,
                            u"0/250 PRIVMSG #a,#b :x"_s}
            << QList<qint64> {0, 0, 1001};
        QTest::newRow("no known family, 2 s a line")
            << Family::Unknown << QStringList(6, u"0 PRIVMSG #c :x"_s)
            << QList<qint64> {0, 0, 0, 0, 0, 1001};
        QTest::newRow("ngIRCd, a NAMES holds the next second")
            << Family::Ngircd
            << QStringList {u"0 PRIVMSG #c :a"_s, u"0 PRIVMSG #c :b"_s, u"0 NAMES #c"_s,
                            u"500 PRIVMSG #c :c"_s, u"1500 PRIVMSG #c :d"_s}
            << QList<qint64> {0, 0, 0, 1000, 1500};
        QTest::newRow("ngIRCd, three lines a pass")
            << Family::Ngircd << QStringList(5, u"0 PRIVMSG #c :x"_s)
            << QList<qint64> {0, 0, 0, 1000, 1000};
        QTest::newRow("InspIRCd, a second a command")
            << Family::Inspircd << QStringList(11, u"0 PRIVMSG #c :x"_s)
            << QList<qint64> {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1001};
        QTest::newRow("Hybrid, a burst of five")
            << Family::Hybrid << QStringList(7, u"0 PRIVMSG #c :x"_s)
            << QList<qint64> {0, 0, 0, 0, 0, 1, 501};
        QTest::newRow("UnrealIRCd, bytes by the ninety")
            << Family::Unreal << QStringList(4, u"0/180 PRIVMSG #c :x"_s)
            << QList<qint64> {0, 0, 0, 1};
    }
    void relaysEachLineWhenTheRuleLetsIt()
    {
        QFETCH(Family, family);
        QFETCH(QStringList, lines);
        QFETCH(QList<qint64>, relayed);
        FloodAccount account = accountAfter(family, {});
        QList<qint64> actual;
        for (const FloodAccount::Line &line : linesOf(lines))
            actual << account.book(line, line.dueMs);
        QCOMPARE(actual, relayed);
    }

    void waitsTheLeastThatHoldsNothing_data()
    {
        QTest::addColumn<Family>("family");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("run");
        QTest::addColumn<qint64>("wait");
        QTest::addColumn<qint64>("worstLateness");
        QTest::newRow("irc2, after 40 s") << Family::Irc2 << QStringList {u"-40000 PRIVMSG #c :x"_s}
                                          << timedCountdown << qint64(0) << qint64(0);
        QTest::newRow("irc2, at once after the login")
            << Family::Irc2 << login << timedCountdown << qint64(9001) << qint64(0);
        QTest::newRow("irc2, N=120 at once after the login")
            << Family::Irc2 << login << runLines(u"120"_s, 1000) << qint64(9001) << qint64(0);
        // A server reads a line's first 512 bytes; the rest costs nothing.
        QTest::newRow("irc2, after forty 8 KB PONGs")
            << Family::Irc2 << login + QStringList(40, u"0/8008 PONG :x"_s) << timedCountdown
            << qint64(289001) << qint64(0);
        QTest::newRow("irc2, N=0 after the login: the least lateness")
            << Family::Irc2 << login << countdownOnly << qint64(13000) << qint64(2001);
        QTest::newRow("ngIRCd, after the login")
            << Family::Ngircd << login << timedCountdown << qint64(4000) << qint64(0);
    }
    void waitsTheLeastThatHoldsNothing()
    {
        QFETCH(Family, family);
        QFETCH(QStringList, before);
        QFETCH(QStringList, run);
        QFETCH(qint64, wait);
        QFETCH(qint64, worstLateness);
        const FloodAccount::Plan plan = accountAfter(family, before).plan(linesOf(run), 0);
        QCOMPARE(plan.waitMs, wait);
        QCOMPARE(plan.worstLatenessMs(), worstLateness);
    }

    void ourOwnLinesWaitForTheRun_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("harmless");
        QTest::newRow("a chat line a second before") << u"-1000 PRIVMSG #c :hi"_s << true;
        QTest::newRow("a chat line after 5＠") << u"6500 PRIVMSG #c :hi"_s << false;
        QTest::newRow("a NAMES in the countdown's quiet seconds") << u"2000 NAMES #c"_s << false;
    }
    void ourOwnLinesWaitForTheRun()
    {
        QFETCH(QString, line);
        QFETCH(bool, harmless);
        FloodAccount account = accountAfter(Family::Irc2, {u"-40000 PRIVMSG #c :x"_s});
        QList<FloodAccount::Line> schedule = linesOf(timedCountdown);
        const FloodAccount::Line ours = lineOf(line);
        while (!schedule.isEmpty() && schedule.constFirst().dueMs <= ours.dueMs) {
            account.book(schedule.constFirst(), schedule.constFirst().dueMs);
            schedule.removeFirst();
        }
        QCOMPARE(account.delaysNothing(ours, ours.dueMs, schedule), harmless);
    }
};

QTEST_MAIN(tst_floodAccount)
#include "tst_floodAccount.moc"
