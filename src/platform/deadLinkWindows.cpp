#include "deadLink.h"

// winsock2.h first: mstcpip.h builds on its types.
// clang-format off
#include <winsock2.h>
#include <mstcpip.h>
#include <ws2tcpip.h>
// clang-format on

// Windows' own option numbers; MinGW's headers lack them.
#ifndef TCP_KEEPIDLE
#define TCP_KEEPIDLE 3
#endif
#ifndef TCP_MAXRT
#define TCP_MAXRT 5
#endif
#ifndef TCP_KEEPCNT
#define TCP_KEEPCNT 16
#endif
#ifndef TCP_KEEPINTVL
#define TCP_KEEPINTVL 17
#endif

namespace {

bool setTcpOption(SOCKET socket, int option, DWORD value)
{
    return ::setsockopt(socket, IPPROTO_TCP, option, reinterpret_cast<const char *>(&value),
                        sizeof value)
        == 0;
}

} // namespace

namespace platform {

qintptr watchForDeadLink(qintptr descriptor, const KeepAliveTimes &times, int deadLinkSeconds)
{
    // Lines in flight: the retransmission limit. An idle link: the keep-alive probes.
    const auto socket = SOCKET(descriptor);
    const BOOL on = TRUE;
    ::setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char *>(&on), sizeof on);
    if (setTcpOption(socket, TCP_KEEPIDLE, DWORD(times.idleSeconds))) {
        setTcpOption(socket, TCP_KEEPINTVL, DWORD(times.probeIntervalSeconds));
        setTcpOption(socket, TCP_KEEPCNT, DWORD(times.probes));
    } else {
        // Before Windows 10 1709 only this control code sets the times, with ten probes.
        tcp_keepalive values {1, ULONG(times.idleSeconds) * 1000,
                              ULONG(times.probeIntervalSeconds) * 1000};
        DWORD returned = 0;
        WSAIoctl(socket, SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0, &returned, nullptr,
                 nullptr);
    }
    setTcpOption(socket, TCP_MAXRT, DWORD(deadLinkSeconds));
    // Windows tells no time of the last acknowledgement; there is no record to keep open.
    return -1;
}

void releaseLinkRecord(qintptr) { }

QDateTime lastAcknowledged(qintptr)
{
    return {};
}

} // namespace platform
