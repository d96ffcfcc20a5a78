#include "timer/tickTimer.h"

#include <QSignalSpy>
#include <QTest>

using namespace std::chrono;
using Clock = TickTimer::Clock;

class tst_tickTimer : public QObject
{
    Q_OBJECT

private slots:
    // Wake-ups handed to the timer as they might come; each tick stays at start + k s.
    void ticksKeepToTheirDeadlines_data()
    {
        QTest::addColumn<QList<int>>("wakeUpsUs");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<int>("nextDueMs");
        QTest::newRow("on time") << QList {1000000, 2000000} << 2 << 3000;
        QTest::newRow("a late tick shifts no later one") << QList {1300000, 2000000} << 2 << 3000;
        QTest::newRow("early by a few microseconds") << QList {999995} << 1 << 2000;
        QTest::newRow("half a second early: no tick") << QList {500000} << 0 << 1000;
        QTest::newRow("far behind: one tick a wake-up, until caught up")
            << QList {3500000, 3500000, 3500000, 3500000} << 3 << 4000;
    }
    void ticksKeepToTheirDeadlines()
    {
        QFETCH(QList<int>, wakeUpsUs);
        QFETCH(int, ticks);
        QFETCH(int, nextDueMs);
        TickTimer timer;
        timer.setInterval(1000);
        QSignalSpy heard(&timer, &TickTimer::timeout);
        const Clock::time_point start = Clock::now();
        timer.start(start);
        for (int wakeUpUs : wakeUpsUs)
            timer.wake(start + microseconds(wakeUpUs));
        QCOMPARE(heard.size(), ticks);
        QCOMPARE(duration_cast<milliseconds>(timer.nextDue() - start).count(), nextDueMs);
    }

    // A wake-up later than asked for makes the timer ask earlier, with a millisecond to spare.
    void theWakeUpLeadCoversLateWakeUps_data()
    {
        QTest::addColumn<int>("lateUs");
        QTest::addColumn<int>("leadUs");
        QTest::newRow("on time") << 0 << 2000;
        QTest::newRow("5 ms late") << 5000 << 6000;
        QTest::newRow("9.5 ms late: no more than 10 ms") << 9500 << 10000;
        QTest::newRow("a 3-s stall is not the timer's") << 3000000 << 2000;
    }
    void theWakeUpLeadCoversLateWakeUps()
    {
        QFETCH(int, lateUs);
        QFETCH(int, leadUs);
        TickTimer timer;
        timer.setInterval(1000);
        const Clock::time_point start = Clock::now();
        timer.start(start);
        timer.wokeUp(start + 1s - TickTimer::firstWakeUpLead + microseconds(lateUs));
        QCOMPARE(timer.wakeUpLead(), microseconds(leadUs));
    }

    // The system's timer, for real: never before the deadline (the last stretch is waited out),
    // and silent once stopped.
    void theSystemWakesAtTheDeadline()
    {
        TickTimer timer;
        timer.setInterval(50);
        QSignalSpy heard(&timer, &TickTimer::timeout);
        const Clock::time_point start = Clock::now();
        timer.start(start);
        for (int k = 1; k <= 2; ++k) {
            QVERIFY(heard.wait(5000));
            QVERIFY(Clock::now() >= start + k * milliseconds(50));
        }
        timer.stop();
        QVERIFY(!heard.wait(200));
    }
};

QTEST_MAIN(tst_tickTimer)
#include "tst_tickTimer.moc"
