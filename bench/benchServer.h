#pragma once

#include "irc/connectionChoice.h"
#include "platform/runClock.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QObject>
#include <chrono>

class QTcpServer;
class QTcpSocket;

using Clock = platform::RunClock;

// How the program connects to a benchmark server on this port, as a user would choose it.
ConnectionChoice benchConnection(quint16 port, bool tls = false);

// The IRC server of the benchmarks, run on a thread of its own so that its time stamps do not
// wait for the program's event loop. It logs the program in, stamps every line it receives,
// and can flood the program with ordinary channel traffic; over plain text or over TLS.
class BenchServer : public QObject
{
    Q_OBJECT
public:
    struct Received
    {
        QByteArray line;
        Clock::time_point at;
    };

    BenchServer(qint64 floodBytes, bool tls);
    quint16 port() const { return m_port; }
    QList<Received> received();
    // Flood figures, valid once floodDone() is true.
    bool floodDone() const { return m_floodDone.loadAcquire(); }
    double floodSeconds() const { return m_floodSeconds; }
    qint64 floodBytes() const { return m_floodBytes; }
    // The text that ends the flood's newest ordinary line.
    QByteArray lastFloodMessage() const
    {
        return "message " + QByteArray::number(m_chunkNumber * 400 - 1) + ' ';
    }
    void startFlood();

    // Called on the server's thread.
    void listen();
    // Closes the program's connection, as a server restart would.
    void dropClient();

signals:
    void floodRequested();

private:
    void onReadyRead();
    void writeMoreFlood();
    QByteArray floodChunk();

    QTcpServer *m_server = nullptr;
    QTcpSocket *m_client = nullptr;
    quint16 m_port = 0;
    QByteArray m_pending;
    QMutex m_mutex;
    QList<Received> m_received;
    qint64 m_floodBytes;
    bool m_tls;
    qint64 m_floodSent = 0;
    quint64 m_chunkNumber = 0;
    Clock::time_point m_floodStart;
    double m_floodSeconds = 0;
    QAtomicInt m_floodDone = 0;
};
