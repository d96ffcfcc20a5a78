#pragma once

#include "runClock.h"

#include <QObject>

class QTimer;

namespace platform {

// Wakes the event loop at a moment of the run's clock, through the system's own precise timer
// rather than the event loop's timer arithmetic: a timerfd on Linux, a high-resolution
// waitable timer on Windows. Where the system cannot make one (no descriptors left, a failed
// call), Qt's precise timer stands in, a millisecond or so less exact. One wake-up is armed at
// a time.
class PreciseWakeUp : public QObject
{
    Q_OBJECT
public:
    using Clock = RunClock;

    explicit PreciseWakeUp(QObject *parent = nullptr);
    ~PreciseWakeUp() override;

    bool onSystemTimer() const { return m_system != nullptr; }
    // Replaces any armed wake-up; a moment already past wakes at once.
    void wakeAt(Clock::time_point moment);
    void cancel();

signals:
    void woke();

private:
    // Each system's own: false where its timer cannot be made.
    bool makeSystemTimer();
    void armSystemTimer(Clock::time_point moment);
    void disarmSystemTimer();
    void closeSystemTimer();

    struct System;
    // Null where the system's timer could not be made.
    System *m_system = nullptr;
    QTimer *m_fallback = nullptr;
};

} // namespace platform
