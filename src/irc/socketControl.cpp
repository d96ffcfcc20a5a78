#include "socketControl.h"

#include "platform/deadLink.h"

#include <QHostInfo>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

struct ErrorReport
{
    qint16 number;
    QString description;
};

ErrorReport reportFor(QAbstractSocket::SocketError error, const QString &detail)
{
    switch (error) {
    case QAbstractSocket::HostNotFoundError:
        return {SocketControl::sckHostNotFound, u"ホスト名からアドレスが得られません"_s};
    case QAbstractSocket::ConnectionRefusedError:
        return {SocketControl::sckConnectFailed, u"接続が拒否されました"_s};
    case QAbstractSocket::SocketTimeoutError:
        return {SocketControl::sckConnectFailed, u"接続がタイムアウトしました"_s};
    case QAbstractSocket::NetworkError:
        // Qt reports time-outs and unreachable hosts alike; only the OS text tells them apart.
        if (detail.contains(u"timed out"_s, Qt::CaseInsensitive))
            return {SocketControl::sckConnectFailed, u"接続がタイムアウトしました"_s};
        return {SocketControl::sckConnectFailed, u"ホストに到達できません"_s};
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
        return {SocketControl::sckTlsFailed, u"TLSで接続できませんでした (%1)"_s.arg(detail)};
    // The only data of ours the TLS library takes is the client certificate and its key: Wine's
    // Schannel, for one, cannot find a certificate's chain in a store.
    case QAbstractSocket::SslInvalidUserDataError:
        return {SocketControl::sckTlsFailed,
                u"TLSのライブラリがクライアント証明書を使えませんでした (%1)"_s.arg(detail)};
    default:
        return {SocketControl::sckConnectFailed, u"接続が中断されました (%1)"_s.arg(detail)};
    }
}

} // namespace

SocketControl::SocketControl(QObject *parent)
    : QObject(parent)
    , m_handshakeDeadline(new QTimer(this))
{
    m_handshakeDeadline->setSingleShot(true);
    connect(m_handshakeDeadline, &QTimer::timeout, this, &SocketControl::onHandshakeOverdue);
}

QSslSocket *SocketControl::socket()
{
    if (m_socket)
        return m_socket;
    m_socket = new QSslSocket(this);
    // One read, and so one received block, is at most this long: a server that sends without
    // pause costs bounded work and memory per event, and the tick and the user's clicks get
    // their turn in between.
    m_socket->setReadBufferSize(readChunkBytes);
    connect(m_socket, &QSslSocket::connected, this, &SocketControl::onConnected);
    connect(m_socket, &QSslSocket::encrypted, this, &SocketControl::onEncrypted);
    connect(m_socket, &QSslSocket::sslErrors, this, &SocketControl::onSslErrors);
    connect(m_socket, &QTcpSocket::disconnected, this, &SocketControl::onDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &SocketControl::onErrorOccurred);
    connect(m_socket, &QTcpSocket::readyRead, this, [this] {
        m_lastReceived = QDateTime::currentDateTime();
        emit DataArrival(m_socket->bytesAvailable());
    });
    return m_socket;
}

SocketControl::~SocketControl()
{
    releaseLinkRecord();
}

void SocketControl::setClientCertificate(const QSslCertificate &certificate, const QSslKey &key)
{
    m_clientCertificate = std::make_unique<QSslCertificate>(certificate);
    m_clientKey = std::make_unique<QSslKey>(key);
}

void SocketControl::clearClientCertificate()
{
    m_clientCertificate.reset();
    m_clientKey.reset();
}

void SocketControl::Connect(const QString &host, const QString &port)
{
    Close();
    ++m_attempt;
    m_decoder.reset(m_encoding);
    // A converter's first Japanese text makes it load its tables, a millisecond or more: paid
    // here, not by the start notice, which a run's ticks are counted from.
    encodeForWire(m_encoding, u"計測"_s);
    const QString trimmedHost = host.trimmed();
    bool portOk = false;
    const uint portNumber = port.trimmed().toUInt(&portOk);
    if (trimmedHost.isEmpty()) {
        raiseErrorLater(sckHostNotFound, u"接続先のホスト名がありません"_s);
        return;
    }
    if (!portOk || portNumber == 0 || portNumber > 65535) {
        raiseErrorLater(sckConnectFailed, u"ポート番号が正しくありません: %1"_s.arg(port));
        return;
    }
    if (!m_tls) {
        socket()->connectToHost(trimmedHost, quint16(portNumber));
        return;
    }
    if (!QSslSocket::supportsSsl()) {
        raiseErrorLater(sckTlsFailed, u"TLSのライブラリを読み込めません"_s);
        return;
    }
    // The name the user typed is the one the certificate must bear, and the one the server is
    // told (SNI), whatever the address it resolves to.
    socket()->setPeerVerifyName(trimmedHost);
    // A connection without one leaves the socket's configuration as it was made: Schannel
    // fails the handshake on an empty certificate and key set explicitly.
    if (m_clientCertificate) {
        m_socket->setLocalCertificate(*m_clientCertificate);
        m_socket->setPrivateKey(*m_clientKey);
    } else if (!m_socket->localCertificate().isNull()) {
        m_socket->setLocalCertificate(QSslCertificate());
        m_socket->setPrivateKey(QSslKey());
    }
    m_socket->connectToHostEncrypted(trimmedHost, quint16(portNumber));
}

void SocketControl::Close()
{
    ++m_attempt;
    closeSocket();
}

void SocketControl::closeSocket()
{
    m_peerClosed = false;
    m_established = false;
    m_certificateRefused = false;
    m_handshakeDeadline->stop();
    m_linkLostSince = {};
    // abort() reports disconnected() synchronously; a close from this side is no event.
    m_closingHere = true;
    if (m_socket)
        m_socket->abort();
    m_closingHere = false;
    releaseLinkRecord();
    m_decoder.reset(m_encoding);
}

bool SocketControl::SendData(const QString &text)
{
    return SendBytes(encodeForWire(m_encoding, text));
}

bool SocketControl::SendBytes(const QByteArray &bytes)
{
    if (State() != sckConnected)
        return false;
    m_socket->write(bytes);
    // Put the line on the wire now, not at the next turn of the event loop: announcements are
    // timed to the second and a handler may go on to pause or open a box.
    m_socket->flush();
    return true;
}

void SocketControl::GetData(QString &data)
{
    data = m_socket ? m_decoder.decode(m_socket->readAll()) : QString();
}

int SocketControl::State() const
{
    if (m_peerClosed)
        return sckClosing;
    if (!m_socket)
        return sckClosed;
    switch (m_socket->state()) {
    case QAbstractSocket::HostLookupState:
        return sckResolvingHost;
    case QAbstractSocket::ConnectingState:
        return sckConnecting;
    case QAbstractSocket::ConnectedState:
        // Until the handshake is through, nothing may be written.
        return m_established ? sckConnected : sckConnecting;
    case QAbstractSocket::ClosingState:
        return sckClosing;
    default:
        return sckClosed;
    }
}

QString SocketControl::LocalHostName() const
{
    const QString name = QHostInfo::localHostName();
    return name.isEmpty() ? u"localhost"_s : name;
}

void SocketControl::setDeadLinkSeconds(int seconds)
{
    m_deadLinkSeconds = seconds;
}

QString SocketControl::tlsVersionName() const
{
    switch (m_socket->sessionProtocol()) {
    case QSsl::TlsV1_3:
        return u"TLS 1.3"_s;
    case QSsl::TlsV1_2:
        return u"TLS 1.2"_s;
    default:
        return u"TLS"_s;
    }
}

void SocketControl::onConnected()
{
    // Nagle's algorithm would hold the second and third line of a tick back until the server
    // acknowledged the first: a round trip, or the server's delayed acknowledgement.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (m_tls) {
        m_handshakeDeadline->start(handshakeSeconds * 1000);
        return;
    }
    onEncrypted();
}

void SocketControl::onEncrypted()
{
    m_handshakeDeadline->stop();
    m_decoder.reset(m_encoding);
    m_established = true;
    m_lastReceived = QDateTime::currentDateTime();
    watchForDeadLink();
    emit ConnectEvent();
}

void SocketControl::watchForDeadLink()
{
    // An idle link is probed from two fifths of the time on.
    const platform::KeepAliveTimes times {std::max(1, m_deadLinkSeconds * 2 / 5),
                                          std::max(1, m_deadLinkSeconds / 5), 3};
    m_linkRecord
        = platform::watchForDeadLink(m_socket->socketDescriptor(), times, m_deadLinkSeconds);
}

void SocketControl::releaseLinkRecord()
{
    platform::releaseLinkRecord(m_linkRecord);
    m_linkRecord = -1;
}

QDateTime SocketControl::lastAcknowledged() const
{
    const QDateTime acknowledged = platform::lastAcknowledged(m_linkRecord);
    // Whatever the server sent acknowledged what it had received by then.
    return acknowledged.isValid() ? acknowledged : m_lastReceived;
}

void SocketControl::onDisconnected()
{
    if (m_closingHere)
        return;
    raiseCloseLater();
}

void SocketControl::raiseCloseLater()
{
    if (m_peerClosed)
        return;
    m_peerClosed = true;
    releaseLinkRecord();
    // Qt may report the close from inside a write; the handlers expect it as an event of its
    // own, after the unread bytes.
    const quint64 attempt = m_attempt;
    QTimer::singleShot(0, this, [this, attempt] {
        if (attempt == m_attempt && m_socket->bytesAvailable() > 0)
            emit DataArrival(m_socket->bytesAvailable());
        if (attempt == m_attempt)
            emit CloseEvent();
    });
}

void SocketControl::onSslErrors(const QList<QSslError> &errors)
{
    m_handshakeDeadline->stop();
    if (m_certificateCheck && m_certificateCheck(m_socket->peerCertificate(), errors)) {
        m_socket->ignoreSslErrors();
        m_handshakeDeadline->start(handshakeSeconds * 1000);
        return;
    }
    m_certificateRefused = true;
}

void SocketControl::onHandshakeOverdue()
{
    closeSocket();
    raiseErrorLater(sckTlsFailed,
                    u"TLSのハンドシェイクが%1秒以内に終わりませんでした"_s.arg(handshakeSeconds));
}

void SocketControl::onErrorOccurred(QAbstractSocket::SocketError error)
{
    if (m_certificateRefused && !m_closingHere) {
        m_certificateRefused = false;
        raiseErrorLater(sckCertificateRefused, u"サーバの証明書を確認できませんでした"_s);
        return;
    }
    // The peer's FIN or reset: disconnected() follows and becomes the Close event.
    if (m_closingHere || error == QAbstractSocket::RemoteHostClosedError)
        return;
    // A link that dies once it is up ends the connection, not the program: a timer run must
    // outlive it.
    if (m_established) {
        m_linkLostSince = lastAcknowledged();
        raiseCloseLater();
        return;
    }
    const ErrorReport report = reportFor(error, m_socket->errorString());
    raiseErrorLater(report.number, report.description);
}

void SocketControl::raiseErrorLater(qint16 number, const QString &description)
{
    // Even an immediate failure is an event: the caller's remaining steps always run first.
    const quint64 attempt = m_attempt;
    QTimer::singleShot(0, this, [this, attempt, number, description] {
        if (attempt == m_attempt)
            emit Error(number, description);
    });
}
