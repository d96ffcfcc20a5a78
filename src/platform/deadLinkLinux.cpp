#include "irc/socketControl.h"

#include <QSslSocket>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

void SocketControl::watchForDeadLink()
{
    // Lines in flight: the user time-out. An idle link: the keep-alive probes, the user
    // time-out then ending it when none is answered.
    const int descriptor = int(m_socket->socketDescriptor());
    const KeepAliveTimes times = keepAliveTimes();
    const unsigned int userTimeoutMs = unsigned(m_deadLinkSeconds) * 1000;
    m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_KEEPIDLE, &times.idleSeconds, sizeof(int));
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_KEEPINTVL, &times.probeIntervalSeconds, sizeof(int));
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_KEEPCNT, &times.probes, sizeof(int));
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeoutMs, sizeof userTimeoutMs);
    // Qt has closed its descriptor by the time it reports the link dead; a second one keeps the
    // kernel's record of the connection readable until then.
    m_infoDescriptor = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
}

void SocketControl::releaseInfoDescriptor()
{
    if (m_infoDescriptor >= 0)
        ::close(m_infoDescriptor);
    m_infoDescriptor = -1;
}

QDateTime SocketControl::lastAcknowledged() const
{
    tcp_info info {};
    socklen_t length = sizeof info;
    if (m_infoDescriptor >= 0
        && ::getsockopt(m_infoDescriptor, IPPROTO_TCP, TCP_INFO, &info, &length) == 0)
        return QDateTime::currentDateTime().addMSecs(-qint64(info.tcpi_last_ack_recv));
    // Whatever the server sent acknowledged what it had received by then.
    return m_lastReceived;
}
