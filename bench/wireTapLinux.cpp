#include "wireTap.h"

#include <arpa/inet.h>
#include <cstring>
#include <ctime>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/ip.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace std::chrono;

namespace {

// The kernel stamps in CLOCK_REALTIME; this is how far that clock is ahead of the run's one.
nanoseconds realTimeAhead()
{
    timespec real {}, boot {};
    ::clock_gettime(CLOCK_REALTIME, &real);
    ::clock_gettime(CLOCK_BOOTTIME, &boot);
    return seconds(real.tv_sec - boot.tv_sec) + nanoseconds(real.tv_nsec - boot.tv_nsec);
}

} // namespace

WireTap::WireTap(quint16 port)
    : m_port(port)
{
    m_descriptor = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_IP));
    if (m_descriptor < 0)
        return;
    sockaddr_ll loopback {};
    loopback.sll_family = AF_PACKET;
    loopback.sll_protocol = htons(ETH_P_IP);
    loopback.sll_ifindex = int(::if_nametoindex("lo"));
    const int on = 1;
    const timeval pollEvery {0, 100000};
    if (::bind(m_descriptor, reinterpret_cast<sockaddr *>(&loopback), sizeof loopback) != 0
        || ::setsockopt(m_descriptor, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) != 0
        || ::setsockopt(m_descriptor, SOL_SOCKET, SO_RCVTIMEO, &pollEvery, sizeof pollEvery) != 0) {
        ::close(m_descriptor);
        m_descriptor = -1;
        return;
    }
    m_thread = std::thread(&WireTap::watch, this);
}

WireTap::~WireTap()
{
    if (!available())
        return;
    m_watching = false;
    m_thread.join();
    ::close(m_descriptor);
}

QList<WireTap::Clock::time_point> WireTap::segments()
{
    QMutexLocker lock(&m_mutex);
    return m_segments;
}

void WireTap::watch()
{
    const nanoseconds ahead = realTimeAhead();
    unsigned char packet[2048];
    alignas(cmsghdr) char control[256];
    while (m_watching) {
        iovec data {packet, sizeof packet};
        msghdr message {};
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t size = ::recvmsg(m_descriptor, &message, 0);
        // Loopback shows each packet once, as it comes in, stamped in the sender's write.
        if (size < ssize_t(sizeof(iphdr)))
            continue;
        const auto *ip = reinterpret_cast<const iphdr *>(packet);
        const size_t ipLength = ip->ihl * 4u;
        if (ip->protocol != IPPROTO_TCP || size_t(size) < ipLength + sizeof(tcphdr))
            continue;
        const auto *tcp = reinterpret_cast<const tcphdr *>(packet + ipLength);
        const size_t payload = size_t(ntohs(ip->tot_len)) - ipLength - tcp->doff * 4u;
        if (ntohs(tcp->dest) != m_port || payload == 0)
            continue;
        for (cmsghdr *c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPNS)
                continue;
            timespec stamp {};
            std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
            const nanoseconds real = seconds(stamp.tv_sec) + nanoseconds(stamp.tv_nsec);
            QMutexLocker lock(&m_mutex);
            m_segments.append(Clock::time_point(real - ahead));
        }
    }
}
