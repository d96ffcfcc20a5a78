#pragma once

#include <QObject>
#include <chrono>

namespace platform {

// Wakes the event loop at a moment of the monotonic clock, through the system's own precise
// timer rather than the event loop's timer arithmetic: a timerfd on Linux, a high-resolution
// waitable timer on Windows. One wake-up is armed at a time.
class PreciseWakeUp : public QObject
{
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;

    explicit PreciseWakeUp(QObject *parent = nullptr);
    ~PreciseWakeUp() override;

    // Replaces any armed wake-up; a moment already past wakes at once.
    void wakeAt(Clock::time_point moment);
    void cancel();

signals:
    void woke();

private:
    struct System;
    System *m_system;
};

} // namespace platform
