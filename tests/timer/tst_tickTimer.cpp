#include "platform/runPriority.h"
#include "timer/tickTimer.h"

#include <QSignalSpy>
#include <QTest>

#ifdef Q_OS_LINUX
#include "namespaceRerun.h"

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>
#else
#include <windows.h>
#endif

using namespace std::chrono;
using namespace Qt::StringLiterals;
using Clock = TickTimer::Clock;

namespace {

#ifdef Q_OS_LINUX
bool mayRaisePriority()
{
    return ::geteuid() == 0;
}

bool atRaisedPriority()
{
    return (::sched_getscheduler(0) & ~SCHED_RESET_ON_FORK) == SCHED_RR;
}

// Every descriptor below a lowered limit taken, until released.
class NoDescriptorsLeft
{
public:
    NoDescriptorsLeft()
    {
        ::getrlimit(RLIMIT_NOFILE, &m_before);
        rlimit lowered = m_before;
        lowered.rlim_cur = 512;
        ::setrlimit(RLIMIT_NOFILE, &lowered);
        for (int descriptor = ::dup(0); descriptor >= 0; descriptor = ::dup(0))
            m_taken << descriptor;
    }
    ~NoDescriptorsLeft()
    {
        for (int descriptor : m_taken)
            ::close(descriptor);
        ::setrlimit(RLIMIT_NOFILE, &m_before);
    }

private:
    rlimit m_before {};
    QList<int> m_taken;
};
#else
bool mayRaisePriority()
{
    return true;
}

bool atRaisedPriority()
{
    return ::GetThreadPriority(::GetCurrentThread()) == THREAD_PRIORITY_TIME_CRITICAL;
}
#endif

} // namespace

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
        QTest::addColumn<int>("stale");
        QTest::newRow("on time") << QList {1000000, 2000000} << 2 << 3000 << 0;
        QTest::newRow("a late tick shifts no later one")
            << QList {1300000, 2000000} << 2 << 3000 << 0;
        QTest::newRow("early by a few microseconds") << QList {999995} << 1 << 2000 << 0;
        QTest::newRow("half a second early: no tick") << QList {500000} << 0 << 1000 << 0;
        QTest::newRow("a stall of 0.9 s: every line sent") << QList {1900000} << 1 << 2000 << 0;
        QTest::newRow("far behind: caught up at once, the passed ticks stale")
            << QList {3500000, 3500000} << 3 << 4000 << 2;
        QTest::newRow("a stall of 20 s, then on time")
            << QList {21000000, 22000000} << 22 << 23000 << 19;
    }
    void ticksKeepToTheirDeadlines()
    {
        QFETCH(QList<int>, wakeUpsUs);
        QFETCH(int, ticks);
        QFETCH(int, nextDueMs);
        QFETCH(int, stale);
        TickTimer timer;
        timer.setInterval(1000);
        QSignalSpy heard(&timer, &TickTimer::timeout);
        QSignalSpy stalls(&timer, &TickTimer::stalled);
        int staleHeard = 0;
        connect(&timer, &TickTimer::timeout, this, [&](bool stale) { staleHeard += stale; });
        const Clock::time_point start = Clock::now();
        timer.start(start);
        for (int wakeUpUs : wakeUpsUs)
            timer.wake(start + microseconds(wakeUpUs));
        QCOMPARE(heard.size(), ticks);
        QCOMPARE(staleHeard, stale);
        QCOMPARE(stalls.size(), stale > 0 ? 1 : 0);
        QCOMPARE(duration_cast<milliseconds>(timer.nextDue() - start).count(), nextDueMs);
    }

    // A wake-up later than asked for makes the timer ask earlier at once, with a margin; each
    // prompter one halves the way back. Wake-ups are given as lateness against the moment asked.
    void theWakeUpLeadFollowsTheWakeUps_data()
    {
        QTest::addColumn<QList<int>>("lateUs");
        QTest::addColumn<bool>("restarted");
        QTest::addColumn<int>("leadUs");
        QTest::newRow("on time") << QList {0} << false << 1050;
        QTest::newRow("5 ms late") << QList {5000} << false << 5100;
        QTest::newRow("9.9 ms late: no more than 10 ms") << QList {9900} << false << 10000;
        QTest::newRow("a 3-s stall is not the timer's") << QList {3000000} << false << 2000;
        QTest::newRow("shrinks after prompt wake-ups")
            << QList {5000, 100, 100, 100, 100} << false << 506;
        QTest::newRow("a new run starts afresh") << QList {5000} << true << 2000;
    }
    void theWakeUpLeadFollowsTheWakeUps()
    {
        QFETCH(QList<int>, lateUs);
        QFETCH(bool, restarted);
        QFETCH(int, leadUs);
        TickTimer timer;
        timer.setInterval(1000);
        const Clock::time_point start = Clock::now();
        timer.start(start);
        for (int late : lateUs)
            timer.wokeUp(timer.nextDue() - timer.wakeUpLead() + microseconds(late));
        if (restarted) {
            timer.stop();
            timer.start(Clock::now());
        }
        QCOMPARE(timer.wakeUpLead(), microseconds(leadUs));
    }

    // The system's timer, for real: never before the deadline (the last stretch is waited out),
    // and silent once stopped; Qt's timer where the system's cannot be made. The thread keeps
    // time at real-time priority where that is granted, and at normal priority after.
    void theSystemWakesAtTheDeadline_data()
    {
        QTest::addColumn<bool>("noDescriptorsLeft");
        QTest::addColumn<bool>("ordinaryUser");
        QTest::newRow("the system's timer") << false << false;
#ifdef Q_OS_LINUX
        QTest::newRow("no descriptors left: Qt's timer") << true << false;
        QTest::newRow("an ordinary user without RealtimeKit") << false << true;
#endif
    }
    void theSystemWakesAtTheDeadline()
    {
        QFETCH(bool, noDescriptorsLeft);
        QFETCH(bool, ordinaryUser);
        TickTimer timer;
        timer.setInterval(50);
        QSignalSpy heard(&timer, &TickTimer::timeout);
        const Clock::time_point start = Clock::now();
#ifdef Q_OS_LINUX
        if (ordinaryUser && !namespaceRerun::isRerun()) {
            // A user namespace without root in it: neither the scheduler nor a system bus.
            const QString failure = namespaceRerun::rerun(
                {u"-U"_s}, u"export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent"_s);
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            return;
        }
        if (noDescriptorsLeft) {
#ifdef __SANITIZE_ADDRESS__
            QSKIP("The sanitizers' own checks need descriptors of their own");
#endif
            const NoDescriptorsLeft full;
            timer.start(start);
        } else {
            timer.start(start);
        }
#else
        timer.start(start);
#endif
        QCOMPARE(timer.onSystemTimer(), !noDescriptorsLeft);
        for (int k = 1; k <= 2; ++k) {
            QVERIFY(heard.wait(5000));
            QVERIFY(Clock::now() >= start + k * milliseconds(50));
        }
        const bool raised = mayRaisePriority() && !ordinaryUser;
        QCOMPARE(platform::runPriorityRaised(), raised);
        QCOMPARE(atRaisedPriority(), raised);
        timer.stop();
        QVERIFY(!atRaisedPriority());
        QVERIFY(!heard.wait(200));
    }
};

QTEST_MAIN(tst_tickTimer)
#include "tst_tickTimer.moc"
