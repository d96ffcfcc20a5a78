#include "tickTimer.h"

#include "platform/preciseWakeUp.h"
#include "platform/runPriority.h"

#include <algorithm>

namespace {

// A wake-up this close before its deadline is the tick itself: sleeping again for the rest
// would cost more than it saves.
constexpr std::chrono::microseconds earlyTolerance {500};

} // namespace

TickTimer::TickTimer(QObject *parent)
    : QObject(parent)
{
}

void TickTimer::start(Clock::time_point start)
{
    stop();
    m_start = start;
    m_lastWake = start;
    m_ticksDone = 0;
    m_wakeUpLead = firstWakeUpLead;
    m_active = true;
    // Made for each run, so that between runs the program holds no timer and wakes for
    // nothing; and a run whose system timer cannot be made still ticks, on Qt's.
    m_wakeUp = new platform::PreciseWakeUp(this);
    connect(m_wakeUp, &platform::PreciseWakeUp::woke, this, [this] { wokeUp(Clock::now()); });
    platform::raiseRunPriority();
    armWakeUp();
}

void TickTimer::stop()
{
    if (!m_active)
        return;
    m_active = false;
    platform::restoreRunPriority();
    // Stopped from within its own wake-up, at the run's last tick.
    m_wakeUp->cancel();
    m_wakeUp->deleteLater();
    m_wakeUp = nullptr;
}

bool TickTimer::onSystemTimer() const
{
    return m_wakeUp && m_wakeUp->onSystemTimer();
}

void TickTimer::wake(Clock::time_point now)
{
    if (!m_active)
        return;
    if (now + earlyTolerance >= nextDue() && now - nextDue() > staleAfter)
        emit stalled(m_lastWake, now);
    m_lastWake = now;
    // The tick's work may stop the timer, at the run's end.
    while (m_active && now + earlyTolerance >= nextDue()) {
        const bool stale = now - nextDue() > staleAfter;
        ++m_ticksDone;
        emit timeout(stale);
    }
    if (m_active)
        armWakeUp();
}

void TickTimer::wokeUp(Clock::time_point now)
{
    if (!m_active)
        return;
    // Later than the longest lead, it was not the timer but a stalled or suspended system.
    const auto late
        = std::max(std::chrono::microseconds::zero(),
                   std::chrono::duration_cast<std::chrono::microseconds>(now - m_wakeUpAskedFor));
    if (late < longestWakeUpLead) {
        const auto wanted = late + wakeUpMargin;
        m_wakeUpLead = wanted > m_wakeUpLead ? std::min(wanted, longestWakeUpLead)
                                             : (m_wakeUpLead + wanted) / 2;
    }
    spinToTheDeadline();
    wake(Clock::now());
}

void TickTimer::armWakeUp()
{
    m_wakeUpAskedFor = nextDue() - m_wakeUpLead;
    m_wakeUp->wakeAt(m_wakeUpAskedFor);
}

void TickTimer::spinToTheDeadline()
{
    const Clock::time_point deadline = nextDue();
    Clock::time_point now = Clock::now();
    // A wake-up earlier than asked for goes back to sleep in wake().
    if (now < m_wakeUpAskedFor)
        return;
    while (now < deadline)
        now = Clock::now();
}
