#pragma once

#include <QObject>
#include <chrono>

namespace platform {
class PreciseWakeUp;
}

// The one-second tick of a run. Tick k falls due at the start's reading of the monotonic clock
// plus k intervals, whatever happened to the ticks before it: a late tick never shifts the
// later ones, so a run cannot drift. The system's precise timer wakes the program shortly
// before each deadline, and the last stretch is waited out on the clock.
class TickTimer : public QObject
{
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;
    // Waking a sleeping processor takes the system a varying part of a millisecond, and more
    // with some of Windows' timers; spinning through the last stretch takes none. The lead
    // grows to cover the latest wake-up seen, up to the longest.
    static constexpr std::chrono::microseconds firstWakeUpLead {2000};
    static constexpr std::chrono::microseconds longestWakeUpLead {10000};

    explicit TickTimer(QObject *parent = nullptr);

    void setInterval(int milliseconds) { m_interval = std::chrono::milliseconds(milliseconds); }
    int interval() const { return int(m_interval.count()); }
    // start: the reading of the clock that tick 0 stands for.
    void start(Clock::time_point start);
    void stop();
    bool isActive() const { return m_active; }
    Clock::time_point nextDue() const { return m_start + (m_ticksDone + 1) * m_interval; }

    // How long before the next deadline the system is asked to wake the program.
    std::chrono::microseconds wakeUpLead() const { return m_wakeUpLead; }

    // The system's wake-up, at now.
    void wokeUp(Clock::time_point now);
    // The wake-up at now: the next tick, if it is due.
    void wake(Clock::time_point now);

signals:
    void timeout();

private:
    void armWakeUp();
    void spinToTheDeadline();

    platform::PreciseWakeUp *m_wakeUp;
    std::chrono::microseconds m_wakeUpLead = firstWakeUpLead;
    Clock::time_point m_wakeUpAskedFor;
    std::chrono::milliseconds m_interval {0};
    Clock::time_point m_start;
    qint64 m_ticksDone = 0;
    bool m_active = false;
};
