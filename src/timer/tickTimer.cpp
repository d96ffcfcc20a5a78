#include "tickTimer.h"

#include "platform/preciseWakeUp.h"

#include <algorithm>

namespace {

// A wake-up this close before its deadline is the tick itself: sleeping again for the rest
// would cost more than it saves.
constexpr std::chrono::microseconds earlyTolerance {500};

} // namespace

TickTimer::TickTimer(QObject *parent)
    : QObject(parent)
    , m_wakeUp(new platform::PreciseWakeUp(this))
{
    connect(m_wakeUp, &platform::PreciseWakeUp::woke, this, [this] { wokeUp(Clock::now()); });
}

void TickTimer::start(Clock::time_point start)
{
    m_start = start;
    m_ticksDone = 0;
    m_active = true;
    armWakeUp();
}

void TickTimer::stop()
{
    m_active = false;
    m_wakeUp->cancel();
}

void TickTimer::wake(Clock::time_point now)
{
    if (!m_active)
        return;
    const bool due = now + earlyTolerance >= nextDue();
    if (due)
        ++m_ticksDone;
    // Armed before the tick's work, which may stop the timer.
    armWakeUp();
    if (due)
        emit timeout();
}

void TickTimer::wokeUp(Clock::time_point now)
{
    if (!m_active)
        return;
    // Later than that, it was not the timer but a stalled or suspended system.
    const auto late = std::chrono::duration_cast<std::chrono::microseconds>(now - m_wakeUpAskedFor);
    if (late > late.zero() && late < longestWakeUpLead)
        m_wakeUpLead = std::clamp(late + std::chrono::milliseconds(1), m_wakeUpLead,
                                  longestWakeUpLead);
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
    if (deadline - now > m_wakeUpLead)
        return;
    while (now < deadline)
        now = Clock::now();
}
