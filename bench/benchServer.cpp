#include "benchServer.h"

#include "platform/cp932.h"
#include "testCertificate.h"

#include <QSslServer>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

BenchServer::BenchServer(qint64 floodBytes, bool tls)
    : m_floodBytes(floodBytes)
    , m_tls(tls)
{
    connect(this, &BenchServer::floodRequested, this, &BenchServer::writeMoreFlood,
            Qt::QueuedConnection);
}

void BenchServer::listen()
{
    if (m_tls) {
        auto *tlsServer = new QSslServer(this);
        tlsServer->setSslConfiguration(testCertificate::serverConfiguration());
        m_server = tlsServer;
    } else {
        m_server = new QTcpServer(this);
    }
    m_server->listen(QHostAddress::LocalHost, 0);
    m_port = m_server->serverPort();
    // Over TLS, once the handshake is done.
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, [this] {
        m_client = m_server->nextPendingConnection();
        m_pending.clear();
        connect(m_client, &QTcpSocket::readyRead, this, &BenchServer::onReadyRead);
        connect(m_client, &QTcpSocket::bytesWritten, this, &BenchServer::writeMoreFlood);
        m_client->write(":bench.local 020 * :Please wait while we process your connection.\r\n");
    });
}

void BenchServer::dropClient()
{
    m_client->abort();
}

void BenchServer::onReadyRead()
{
    const Clock::time_point now = Clock::now();
    m_pending += m_client->readAll();
    qsizetype end;
    while ((end = m_pending.indexOf("\r\n")) >= 0) {
        const QByteArray line = m_pending.left(end);
        m_pending.remove(0, end + 2);
        {
            QMutexLocker lock(&m_mutex);
            m_received.append({line, now});
        }
        if (line.startsWith("USER "))
            m_client->write(":bench.local 001 Timer :Welcome\r\n"
                            ":bench.local 376 Timer :End of MOTD command.\r\n");
    }
}

QList<BenchServer::Received> BenchServer::received()
{
    QMutexLocker lock(&m_mutex);
    return m_received;
}

void BenchServer::startFlood()
{
    emit floodRequested();
}

// Ordinary channel traffic: mixed ASCII and Japanese in CP932, and now and then a very long
// line.
QByteArray BenchServer::floodChunk()
{
    static const QByteArray japanese
        = platform::encodeCp932(u"計測時間のお知らせです。残り時間を確認してください①～"_s);
    QByteArray chunk;
    for (int i = 0; i < 400; ++i) {
        const QByteArray n = QByteArray::number(m_chunkNumber * 400 + i);
        chunk += ":user" + n + "!~u@host.example PRIVMSG #Durmast_Velmor :message " + n + " "
            + (i % 2 ? japanese : QByteArray("plain ascii text for the log")) + "\r\n";
    }
    if (m_chunkNumber % 50 == 0)
        chunk += ":long!~u@host PRIVMSG #Durmast_Velmor :" + QByteArray(200000, 'x') + "\r\n";
    ++m_chunkNumber;
    return chunk;
}

void BenchServer::writeMoreFlood()
{
    if (!m_client || m_floodBytes == 0 || m_floodDone.loadRelaxed())
        return;
    if (m_floodSent == 0)
        m_floodStart = Clock::now();
    while (m_floodSent < m_floodBytes && m_client->bytesToWrite() < 1 << 20) {
        const QByteArray chunk = floodChunk();
        m_client->write(chunk);
        m_floodSent += chunk.size();
    }
    if (m_floodSent >= m_floodBytes && m_client->bytesToWrite() == 0) {
        m_floodSeconds = std::chrono::duration<double>(Clock::now() - m_floodStart).count();
        m_floodDone.storeRelease(1);
    }
}

ConnectionChoice benchConnection(quint16 port, bool tls)
{
    ConnectionChoice choice;
    choice.server = QStringLiteral("127.0.0.1");
    choice.port = QString::number(port);
    choice.nick = QStringLiteral("Timer");
    choice.channel = QStringLiteral("#Durmast_Velmor");
    choice.tls = tls;
    return choice;
}
