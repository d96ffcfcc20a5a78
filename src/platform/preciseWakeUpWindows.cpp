#include "preciseWakeUp.h"

#include <QWinEventNotifier>
#include <windows.h>

#include <timeapi.h>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace platform {

// Windows 10 1803 and later have high-resolution waitable timers; before them (and under
// Wine) a plain one keeps to the system timer's resolution, which is raised to 1 ms while a
// wake-up is armed, and only then, since it costs every program on the machine power.
struct PreciseWakeUp::System
{
    HANDLE timer = nullptr;
    bool raisesResolution = false;
    bool resolutionRaised = false;
    QWinEventNotifier *notifier = nullptr;

    void lowerResolution()
    {
        if (resolutionRaised)
            ::timeEndPeriod(1);
        resolutionRaised = false;
    }
};

bool PreciseWakeUp::makeSystemTimer()
{
    HANDLE timer = ::CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                            TIMER_ALL_ACCESS);
    bool raisesResolution = false;
    if (!timer) {
        timer = ::CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
        raisesResolution = true;
    }
    if (!timer)
        return false;
    m_system = new System;
    m_system->timer = timer;
    m_system->raisesResolution = raisesResolution;
    m_system->notifier = new QWinEventNotifier(timer, this);
    connect(m_system->notifier, &QWinEventNotifier::activated, this, [this] {
        m_system->lowerResolution();
        emit woke();
    });
    return true;
}

void PreciseWakeUp::closeSystemTimer()
{
    delete m_system->notifier;
    ::CancelWaitableTimer(m_system->timer);
    m_system->lowerResolution();
    ::CloseHandle(m_system->timer);
    delete m_system;
}

void PreciseWakeUp::armSystemTimer(Clock::time_point moment)
{
    using namespace std::chrono;
    // A waitable timer counts absolute time on the wall clock, which may be set; relative time
    // (negative, in 100-ns units, rounded up) counts the interrupt time with the time asleep,
    // as the run's clock does, so a deadline passed in sleep wakes the program as it resumes.
    const auto ahead = duration_cast<nanoseconds>(moment - Clock::now());
    LARGE_INTEGER due;
    due.QuadPart = -std::max<qint64>(1, (ahead.count() + 99) / 100);
    if (m_system->raisesResolution && !m_system->resolutionRaised)
        m_system->resolutionRaised = ::timeBeginPeriod(1) == TIMERR_NOERROR;
    ::SetWaitableTimer(m_system->timer, &due, 0, nullptr, nullptr, FALSE);
    m_system->notifier->setEnabled(true);
}

void PreciseWakeUp::disarmSystemTimer()
{
    ::CancelWaitableTimer(m_system->timer);
    m_system->lowerResolution();
}

} // namespace platform
