#include "loopbackServer.h"

#include <QTcpSocket>
#include <QTest>
#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

LoopbackServer::LoopbackServer(const QList<quint16> &candidatePorts)
{
    for (quint16 port : candidatePorts) {
        if (m_server.listen(QHostAddress::LocalHost, port))
            break;
    }
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
        QTcpSocket *next = m_server.nextPendingConnection();
        if (!next)
            return;
        delete m_client;
        m_client = next;
        ++m_clientsAccepted;
        m_received.clear();
        QObject::connect(m_client, &QTcpSocket::readyRead, m_client,
                         [this, next] { m_received += next->readAll(); });
        if (!m_greeting.isEmpty())
            send(m_greeting);
    });
}

LoopbackServer::~LoopbackServer()
{
    delete m_client;
}

quint16 LoopbackServer::port() const
{
    return m_server.serverPort();
}

QString LoopbackServer::portText() const
{
    return QString::number(port());
}

bool LoopbackServer::waitForClient()
{
    return QTest::qWaitFor([this] { return m_client != nullptr; }, 5000);
}

bool LoopbackServer::hasClient() const
{
    return m_client != nullptr;
}

QByteArray LoopbackServer::received()
{
    QCoreApplication::processEvents();
    return m_received;
}

QList<QByteArray> LoopbackServer::receivedLines()
{
    QList<QByteArray> lines = received().split('\n');
    lines.removeLast();
    for (QByteArray &line : lines)
        line.chop(line.endsWith('\r') ? 1 : 0);
    return lines;
}

bool LoopbackServer::waitForReceived(const QByteArray &needle)
{
    return QTest::qWaitFor([&] { return m_received.contains(needle); }, 5000);
}

bool LoopbackServer::waitForClientGone()
{
    return QTest::qWaitFor(
        [this] {
            return !m_client || m_client->state() == QAbstractSocket::UnconnectedState
                || (m_client->atEnd() && m_client->state() == QAbstractSocket::ClosingState);
        },
        5000);
}

void LoopbackServer::send(const QByteArray &block)
{
    m_client->write(block);
    m_client->flush();
}

void LoopbackServer::closeClient()
{
    m_client->disconnectFromHost();
}

void LoopbackServer::resetClient()
{
    // A zero linger time makes the close a reset instead of a FIN.
    const linger resetOnClose {1, 0};
    ::setsockopt(decltype(::socket(0, 0, 0))(m_client->socketDescriptor()), SOL_SOCKET, SO_LINGER,
                 reinterpret_cast<const char *>(&resetOnClose), sizeof resetOnClose);
    m_client->abort();
}
