#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpServer>

class QTcpSocket;

// Plays the IRC server on 127.0.0.1: takes one client at a time, keeps every byte it sends,
// and sends scripted blocks back.
class LoopbackServer
{
public:
    // Listens on a free port, or on the first free one of the candidates.
    explicit LoopbackServer(const QList<quint16> &candidatePorts = {0});
    ~LoopbackServer();

    bool isListening() const { return m_server.isListening(); }
    // Sent to each client the moment it is accepted.
    void setGreeting(const QByteArray &greeting) { m_greeting = greeting; }

    quint16 port() const;
    QString portText() const;

    // Waits on the event loop until a client has connected.
    bool waitForClient();
    bool hasClient() const;
    // How many clients have connected so far; a reconnection is the next one.
    int clientsAccepted() const { return m_clientsAccepted; }
    QTcpSocket *client() const { return m_client; }

    // Everything received from the current client so far.
    QByteArray received();
    QList<QByteArray> receivedLines();
    bool waitForReceived(const QByteArray &needle);
    // True when the client has closed its end.
    bool waitForClientGone();

    void send(const QByteArray &block);
    // An orderly close (FIN), or a reset (RST) that throws away unsent data.
    void closeClient();
    void resetClient();

private:
    QTcpServer m_server;
    QTcpSocket *m_client = nullptr;
    QByteArray m_received;
    QByteArray m_greeting;
    int m_clientsAccepted = 0;
};
