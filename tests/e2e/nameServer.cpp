#include "nameServer.h"

#include <QNetworkDatagram>

bool NameServer::listen()
{
    QObject::connect(&m_socket, &QUdpSocket::readyRead, &m_socket, [this] { answer(); });
    return m_socket.bind(QHostAddress::LocalHost, 53);
}

void NameServer::answer()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram query = m_socket.receiveDatagram();
        QByteArray reply = query.data();
        if (reply.size() < 12)
            continue;
        // The question comes back as it was, flagged as a response (keeping "recursion
        // desired"), recursion available, "no such name", with no records in any section.
        reply[2] = char(0x80 | (reply[2] & 0x01));
        reply[3] = char(0x83);
        reply.replace(6, 6, QByteArray(6, '\0'));
        m_socket.writeDatagram(query.makeReply(reply));
    }
}
