#pragma once

#include "platform/runClock.h"

#include <QList>
#include <QMutex>
#include <atomic>
#include <chrono>
#include <thread>

// Stamps every data segment sent to a local TCP port as it passes the loopback interface, with
// the kernel's own time stamp: when a line was on the wire, however long the receiving thread
// then waited for a processor. Linux only, and only with the right to watch an interface
// (root); elsewhere available() is false.
class WireTap
{
public:
    using Clock = platform::RunClock;

    explicit WireTap(quint16 port);
    ~WireTap();
    bool available() const { return m_descriptor >= 0; }
    // The stamps so far, oldest first.
    QList<Clock::time_point> segments();

private:
    void watch();

    quint16 m_port;
    int m_descriptor = -1;
    std::atomic<bool> m_watching = true;
    std::thread m_thread;
    QMutex m_mutex;
    QList<Clock::time_point> m_segments;
};
