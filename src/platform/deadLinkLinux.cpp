#include "deadLink.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

qintptr watchForDeadLink(qintptr socket, const KeepAliveTimes &times, int deadLinkSeconds)
{
    // Lines in flight: the user time-out. An idle link: the keep-alive probes, the user
    // time-out then ending it when none is answered.
    const int descriptor = int(socket);
    const int on = 1;
    const unsigned int userTimeoutMs = unsigned(deadLinkSeconds) * 1000;
    ::setsockopt(descriptor, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_KEEPIDLE, &times.idleSeconds, sizeof(int));
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_KEEPINTVL, &times.probeIntervalSeconds, sizeof(int));
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_KEEPCNT, &times.probes, sizeof(int));
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeoutMs, sizeof userTimeoutMs);
    // Qt has closed its descriptor by the time it reports the link dead; a second one keeps the
    // kernel's record of the connection readable until then.
    return ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
}

void releaseLinkRecord(qintptr record)
{
    if (record >= 0)
        ::close(int(record));
}

QDateTime lastAcknowledged(qintptr record)
{
    tcp_info info {};
    socklen_t length = sizeof info;
    if (record >= 0 && ::getsockopt(int(record), IPPROTO_TCP, TCP_INFO, &info, &length) == 0)
        return QDateTime::currentDateTime().addMSecs(-qint64(info.tcpi_last_ack_recv));
    return {};
}

} // namespace platform
