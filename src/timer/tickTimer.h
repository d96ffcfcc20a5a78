#pragma once

#include "platform/runClock.h"

#include <QObject>
#include <chrono>

namespace platform {
class PreciseWakeUp;
}

// The one-second tick of a run. Tick k falls due at the start's reading of the run's clock
// plus k intervals, whatever happened to the ticks before it: a late tick never shifts the
// later ones, so a run cannot drift. The system's precise timer wakes the program shortly
// before each deadline, and the last stretch is waited out on the clock. While it runs, the
// thread keeps time at a raised priority where the system grants one.
class TickTimer : public QObject
{
    Q_OBJECT
public:
    using Clock = platform::RunClock;
    // Waking a sleeping processor takes the system a varying part of a millisecond, and more
    // with some of Windows' timers; spinning through the last stretch takes none, but costs
    // processor time. The lead covers the latest wake-up's lateness with a margin at once and
    // shrinks halfway back towards it with each prompter one. Each run starts afresh.
    static constexpr std::chrono::microseconds firstWakeUpLead {2000};
    static constexpr std::chrono::microseconds wakeUpMargin {100};
    static constexpr std::chrono::microseconds longestWakeUpLead {10000};
    // A tick found later than this after its deadline says nothing true any more: a frozen or
    // suspended machine, not a slow wake-up.
    static constexpr std::chrono::seconds staleAfter {1};

    explicit TickTimer(QObject *parent = nullptr);

    void setInterval(int milliseconds) { m_interval = std::chrono::milliseconds(milliseconds); }
    int interval() const { return int(m_interval.count()); }
    // start: the reading of the clock that tick 0 stands for.
    void start(Clock::time_point start);
    void stop();
    bool isActive() const { return m_active; }
    Clock::time_point nextDue() const { return m_start + (m_ticksDone + 1) * m_interval; }
    qint64 ticksDone() const { return m_ticksDone; }
    // Whether the system's own timer wakes this run, rather than Qt's.
    bool onSystemTimer() const;

    // How long before the next deadline the system is asked to wake the program.
    std::chrono::microseconds wakeUpLead() const { return m_wakeUpLead; }

    // The system's wake-up, at now.
    void wokeUp(Clock::time_point now);
    // The wake-up at now: every tick due by then, those too late as stale ones.
    void wake(Clock::time_point now);

signals:
    // stale: the tick is one of those a stall passed over, caught up with late.
    void timeout(bool stale);
    // Before the stale ticks of a stall: since when nothing had woken the timer.
    void stalled(Clock::time_point since, Clock::time_point now);

private:
    void armWakeUp();
    void spinToTheDeadline();

    platform::PreciseWakeUp *m_wakeUp = nullptr;
    std::chrono::microseconds m_wakeUpLead = firstWakeUpLead;
    Clock::time_point m_wakeUpAskedFor;
    Clock::time_point m_lastWake;
    std::chrono::milliseconds m_interval {0};
    Clock::time_point m_start;
    qint64 m_ticksDone = 0;
    bool m_active = false;
};
