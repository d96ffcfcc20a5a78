#pragma once

#include <QDateTime>

// A connection that dies silently, noticed by the system itself: no IRC line of ours costs flood
// budget or delays an announcement for it.
namespace platform {

struct KeepAliveTimes
{
    int idleSeconds;
    int probeIntervalSeconds;
    int probes;
};

// Keep-alive probes for an idle link, and a limit on how long what we sent may go
// unacknowledged. Returns a record of the connection that stays readable after the socket is
// closed, or -1 where the system keeps none.
qintptr watchForDeadLink(qintptr socket, const KeepAliveTimes &times, int deadLinkSeconds);
void releaseLinkRecord(qintptr record);
// The last moment the server acknowledged what we sent; null where the system does not tell.
QDateTime lastAcknowledged(qintptr record);

} // namespace platform
