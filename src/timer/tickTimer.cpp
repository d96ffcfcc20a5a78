#include "tickTimer.h"

#include "platform/preciseWakeUp.h"

namespace {

// A wake-up this close before its deadline is the tick itself: sleeping again for the rest
// would cost more than it saves.
constexpr std::chrono::microseconds earlyTolerance {500};

} // namespace

TickTimer::TickTimer(QObject *parent)
    : QObject(parent)
    , m_wakeUp(new platform::PreciseWakeUp(this))
{
    connect(m_wakeUp, &platform::PreciseWakeUp::woke, this, [this] { wake(Clock::now()); });
}

void TickTimer::start(Clock::time_point start)
{
    m_start = start;
    m_ticksDone = 0;
    m_active = true;
    m_wakeUp->wakeAt(nextDue());
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
    m_wakeUp->wakeAt(nextDue());
    if (due)
        emit timeout();
}
