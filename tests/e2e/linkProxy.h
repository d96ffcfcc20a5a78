#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

// Stands between the program and a real server on loopback, as a poor link would: it can cut
// every connection at once, and hold back what the server says on a new connection for a
// while (a login that takes seconds).
class LinkProxy : public QObject
{
public:
    explicit LinkProxy(quint16 serverPort);

    bool listen() { return m_listener.listen(QHostAddress::LocalHost); }
    QString portText() const { return QString::number(m_listener.serverPort()); }
    // For the connections made from now on.
    void setServerDelayMs(int milliseconds) { m_serverDelayMs = milliseconds; }
    void cutAll();

    struct SentLine
    {
        int connection; // counted from 0
        qint64 arrivedMs; // on clock()
        QByteArray line;
    };
    // Each line the program sent, as it arrived here.
    QList<SentLine> sentLines() const { return m_sentLines; }
    const QElapsedTimer &clock() const { return m_clock; }

private:
    void link();

    quint16 m_serverPort;
    int m_serverDelayMs = 0;
    QTcpServer m_listener;
    QList<QTcpSocket *> m_sockets;
    int m_connections = 0;
    QElapsedTimer m_clock;
    QList<SentLine> m_sentLines;
};
