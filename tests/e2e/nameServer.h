#pragma once

#include <QUdpSocket>

// Inside a private network namespace no name server is reachable, and the IRC server waits
// about thirty seconds for the name of each client that connects. This one answers every
// question at once with "no such name".
class NameServer
{
public:
    bool listen();

private:
    void answer();

    QUdpSocket m_socket;
};
