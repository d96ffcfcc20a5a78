#include "linkProxy.h"

#include <QTcpSocket>
#include <QTimer>
#include <memory>

LinkProxy::LinkProxy(quint16 serverPort)
    : m_serverPort(serverPort)
{
    connect(&m_listener, &QTcpServer::newConnection, this, &LinkProxy::link);
    m_clock.start();
}

void LinkProxy::link()
{
    QTcpSocket *program = m_listener.nextPendingConnection();
    auto *server = new QTcpSocket(this);
    m_sockets << program << server;
    const int connection = m_connections++;
    auto partialLine = std::make_shared<QByteArray>();
    // Bytes wait while the other side is not ready: the server's until the delay is over.
    auto toServer = std::make_shared<QByteArray>();
    auto toProgram = std::make_shared<QByteArray>();
    auto released = std::make_shared<bool>(m_serverDelayMs == 0);
    const auto flushToServer = [=] {
        if (server->state() == QAbstractSocket::ConnectedState)
            server->write(std::exchange(*toServer, {}));
    };
    const auto flushToProgram = [=] {
        if (*released)
            program->write(std::exchange(*toProgram, {}));
    };
    connect(program, &QTcpSocket::readyRead, this, [=] {
        const QByteArray bytes = program->readAll();
        *partialLine += bytes;
        for (qsizetype end = partialLine->indexOf("\r\n"); end >= 0;
             end = partialLine->indexOf("\r\n")) {
            m_sentLines << SentLine {connection, m_clock.elapsed(), partialLine->left(end)};
            partialLine->remove(0, end + 2);
        }
        *toServer += bytes;
        flushToServer();
    });
    connect(server, &QTcpSocket::connected, this, flushToServer);
    connect(server, &QTcpSocket::readyRead, this, [=] {
        *toProgram += server->readAll();
        flushToProgram();
    });
    if (!*released) {
        QTimer::singleShot(m_serverDelayMs, program, [=] {
            *released = true;
            flushToProgram();
        });
    }
    connect(program, &QTcpSocket::disconnected, server, &QTcpSocket::disconnectFromHost);
    connect(server, &QTcpSocket::disconnected, program, &QTcpSocket::disconnectFromHost);
    server->connectToHost(QHostAddress::LocalHost, m_serverPort);
}

void LinkProxy::cutAll()
{
    for (QTcpSocket *socket : std::as_const(m_sockets))
        socket->abort();
}
