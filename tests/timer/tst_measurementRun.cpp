#include "runSchedule.h"
#include "timer/measurementRun.h"
#include "timer/tickTimer.h"

#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace runSchedule;

// A run by itself: what it announces and shows, tick by tick, with nothing between it and the
// test. Each announcement is written down as the channel would read it.
class tst_measurementRun : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        run = std::make_unique<MeasurementRun>(base);
        events.clear();
        connect(run.get(), &MeasurementRun::linesDue, this,
                [this](const ScheduledLines &lines, bool stale) {
                    for (const ScheduledLine &line : lines)
                        events << (stale ? u"stale "_s : QString())
                                + (line.kind == ScheduledLine::Kind::Notice ? notice(line.text)
                                                                            : message(line.text));
                });
        connect(run.get(), &MeasurementRun::captionChanged, this,
                [this](const QString &caption) { events << u"caption "_s + caption; });
        connect(run.get(), &MeasurementRun::statusLine, this,
                [this](const QString &line) { events << u"status "_s + line; });
    }
    void cleanup() { run.reset(); }

    void formatMinSec_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << u"00:00"_s;
        QTest::newRow("5") << 5 << u"00:05"_s;
        QTest::newRow("65") << 65 << u"01:05"_s;
        QTest::newRow("1195") << 1195 << u"19:55"_s;
        QTest::newRow("5999") << 5999 << u"99:59"_s;
        QTest::newRow("7200") << 7200 << u"120:00"_s;
    }
    void formatMinSec()
    {
        QFETCH(int, seconds);
        QFETCH(QString, text);
        QCOMPARE(FormatMinSec(qint16(seconds)), text);
    }

    void countdownOnlyRun()
    {
        const Schedule schedule {{0, {notice(u"計測時間0分 カウント開始"_s)}},
                                 {1, {message(u"10＠"_s)}},
                                 {2, {message(u"9"_s)}},
                                 {3, {message(u"8"_s)}},
                                 {4, {message(u"7"_s)}},
                                 {5, {message(u"6"_s)}},
                                 {6, {message(u"5＠"_s)}},
                                 {7, {message(u"4＠"_s)}},
                                 {8, {message(u"3＠"_s)}},
                                 {9, {message(u"2＠"_s)}},
                                 {10, {message(u"1＠"_s)}},
                                 {11, {message(u"0＠"_s)}}};
        const QMap<int, QString> captions {{1, base + u" - カウント10"_s},
                                           {5, base + u" - カウント6"_s},
                                           {10, base + u" - カウント1"_s},
                                           {11, base}};
        runThrough(u"0"_s, 11, schedule, captions);
        QCOMPARE(timerEntries(), (QStringList {u"[t] カウント開始"_s, u"[t] カウント終了"_s}));
    }

    void timedRuns_data()
    {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("firstNoticeMinute");
        QTest::addColumn<QList<int>>("logMinutes");
        QTest::newRow("1") << 1 << 0 << QList<int> {};
        QTest::newRow("5") << 5 << 1 << QList<int> {};
        QTest::newRow("10") << 10 << 5 << QList<int> {5};
        QTest::newRow("20") << 20 << 15 << QList<int> {5, 10, 15};
        QTest::newRow("59") << 59 << 54 << QList<int> {5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55};
        QTest::newRow("60") << 60 << 50 << QList<int> {5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55};
        QTest::newRow("90") << 90 << 80 << QList<int> {5,  10, 15, 20, 25, 30, 35, 40, 45,
                                                       50, 55, 60, 65, 70, 75, 80, 85};
        QTest::newRow("120") << 120 << 110
                             << QList<int> {5,  10, 15, 20, 25, 30, 35, 40,  45,  50,  55, 60,
                                            65, 70, 75, 80, 85, 90, 95, 100, 105, 110, 115};
    }
    void timedRuns()
    {
        QFETCH(int, minutes);
        QFETCH(int, firstNoticeMinute);
        QFETCH(QList<int>, logMinutes);
        const int lastTick = 11 + 60 * minutes;
        const QString lastSecond = u"%1:59経過"_s.arg(minutes - 1, 2, 10, QLatin1Char('0'));
        runThrough(QString::number(minutes), lastTick, timedRun(minutes, firstNoticeMinute),
                   {{9, base + u" - カウント2"_s},
                    {11, base + u" - 計測開始"_s},
                    {15, base + u" - 計測開始"_s},
                    {16, base + u" - 00:05経過"_s},
                    {lastTick - 1, base + u" - "_s + lastSecond},
                    {lastTick, base}});
        QCOMPARE(timerEntries(), timerLog(logMinutes));
        // A fifth minute: its message, then its notice, then the caption, then its log line.
        if (minutes == 10) {
            const qsizetype at = events.indexOf(u"status [t] 開始から5分経過"_s);
            QCOMPARE(events.mid(at - 3, 3),
                     (QStringList {message(u"5分経過＠"_s), notice(u"残り5分"_s),
                                   u"caption "_s + base + u" - 05:00経過"_s}));
        }
    }

    // A machine that froze or slept through ticks: what they would have said is stale, not
    // sent late in a burst; the run goes on from the tick due now.
    void aStallSendsNothingItPassedOver_data()
    {
        QTest::addColumn<int>("stallMs");
        QTest::addColumn<int>("stale");
        QTest::addColumn<QString>("caption");
        QTest::newRow("20 s, in the countdown") << 20500 << 8 << base + u" - 00:09経過"_s;
        QTest::newRow("past the run's end") << 80000 << 11 << base;
    }
    void aStallSendsNothingItPassedOver()
    {
        QFETCH(int, stallMs);
        QFETCH(int, stale);
        QFETCH(QString, caption);
        start(u"1"_s);
        run->tickTimer()->blockSignals(false);
        const auto begun = run->tickTimer()->nextDue() - std::chrono::seconds(1);
        run->tickTimer()->wake(begun + std::chrono::milliseconds(stallMs));
        const QStringList announced = events.filter(QRegularExpression(u"(PRIVMSG|NOTICE) "_s));
        QCOMPARE(announced.filter(QRegularExpression(u"^stale PRIVMSG "_s)).size(), stale);
        QCOMPARE(announced.size(), stale + 1);
        QCOMPARE(
            events.filter(u"%1秒間、プログラムが止まっていました"_s.arg(stallMs / 1000)).size(), 1);
        QCOMPARE(lastCaption(), caption);
        QCOMPARE(run->tickTimer()->isActive(), caption != base);
        QCOMPARE(timerEntries().count(u"[t] 計測終了"_s), caption == base ? 1 : 0);
    }

private:
    void start(const QString &minutes)
    {
        run->start(minutes, allRunLines(minutes));
        // Ticks are driven by hand; the real timer stays running but is not heard.
        run->tickTimer()->blockSignals(true);
    }
    void tick(int count)
    {
        for (int i = 0; i < count; ++i)
            run->tmrCountTime_Timer();
    }

    // Starts a run, drives its ticks, and compares the announcements after every tick and the
    // caption after every listed tick. Whenever the caption changes, the lines due at that
    // tick have been announced already.
    void runThrough(const QString &minutes, int lastTick, const Schedule &schedule,
                    const QMap<int, QString> &captions)
    {
        start(minutes);
        QStringList expected = schedule.value(0);
        QCOMPARE(announcements(), expected);
        for (int t = 1; t <= lastTick; ++t) {
            expected += schedule.value(t);
            const qsizetype before = events.size();
            tick(1);
            const QStringList thisTick = events.mid(before);
            // Both look for a whole entry.
            const qsizetype caption = thisTick.indexOf(QRegularExpression(u"caption .*"_s));
            const qsizetype lastLine
                = thisTick.lastIndexOf(QRegularExpression(u"(PRIVMSG|NOTICE) .*"_s));
            QVERIFY2(caption < 0 || caption > lastLine, qPrintable(u"tick %1"_s.arg(t)));
            QCOMPARE(announcements(), expected);
            if (captions.contains(t))
                QCOMPARE(lastCaption(), captions.value(t));
        }
        QCOMPARE(run->phase(), MeasurementRun::Phase::Idle);
        QVERIFY(!run->tickTimer()->isActive());
    }

    QStringList announcements() const
    {
        return events.filter(QRegularExpression(u"^(PRIVMSG|NOTICE) "_s));
    }
    QString lastCaption() const
    {
        return events.filter(QRegularExpression(u"^caption "_s)).constLast().mid(8);
    }
    QStringList timerEntries() const
    {
        QStringList entries;
        for (const QString &event : events.filter(QRegularExpression(u"^status \\[t\\] "_s)))
            entries << event.mid(7);
        return entries;
    }

    std::unique_ptr<MeasurementRun> run;
    // What the run announced, showed and logged, in order.
    QStringList events;
};

QTEST_MAIN(tst_measurementRun)
#include "tst_measurementRun.moc"
