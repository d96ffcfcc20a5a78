#pragma once

#include "wireEncoding.h"

#include <QAbstractSocket>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <functional>
#include <memory>

class QSslCertificate;
class QSslError;
class QSslKey;
class QSslSocket;
class QTimer;

// The one TCP connection to the IRC server, with the semantics the program's handlers rely
// on: every outcome of a connect arrives later as an event, our own Close() raises no event,
// a remote close is a Close event and never an Error, and text crosses the wire in the
// encoding chosen for the connection (CP932 unless told otherwise).
// A connection that dies once it is up (time-out, reset, unreachable) is a Close event too,
// and one that dies silently is noticed within deadLinkSeconds.
// With TLS, the connection counts as opened only once its handshake is through: the server's
// certificate checked against the system's trusted ones and the host name as typed.
class SocketControl : public QObject
{
    Q_OBJECT
public:
    enum State : int {
        sckClosed = 0,
        sckResolvingHost = 4,
        sckConnecting = 6,
        sckConnected = 7,
        sckClosing = 8,
    };

    // Only what a caller acts on apart has a number of its own; the description names the
    // cause of any other failure.
    enum ErrorNumber : qint16 {
        sckConnectFailed = 10053,
        sckHostNotFound = 11004,
        // Ours, beyond the Windows Sockets numbers: the TLS handshake failed or took too long,
        // or the server's certificate was not accepted.
        sckTlsFailed = 12001,
        sckCertificateRefused = 12002,
    };

    static constexpr qint64 readChunkBytes = 64 * 1024;
    // No acknowledgement of what we sent, or no answer to the kernel's probes of an idle link,
    // for this long means the link is dead. A slow mobile link answers within a few seconds,
    // and a hand-over between cells stalls it for ten or twenty; nearly a minute of silence is
    // none of these, and the user still learns within a minute that nobody hears the timer.
    static constexpr int deadLinkSeconds = 50;
    static constexpr int handshakeSeconds = 30;

    explicit SocketControl(QObject *parent = nullptr);
    ~SocketControl() override;

    void Connect(const QString &host, const QString &port);
    void Close();
    // False, with nothing sent, unless connected.
    bool SendData(const QString &text);
    // The same for text already in the connection's encoding.
    bool SendBytes(const QByteArray &bytes);
    void GetData(QString &data);
    int State() const;
    QString LocalHostName() const;

    // Set before a connect, for everything that connection sends and receives.
    void setEncoding(WireEncoding encoding) { m_encoding = encoding; }
    WireEncoding encoding() const { return m_encoding; }
    // Set before a connect: TLS for that connection or plain text.
    void setTls(bool tls) { m_tls = tls; }
    bool tls() const { return m_tls; }
    // Set before a TLS connect: the certificate the client shows the server, or none.
    void setClientCertificate(const QSslCertificate &certificate, const QSslKey &key);
    void clearClientCertificate();
    // Once connected over TLS: "TLS 1.3", say.
    QString tlsVersionName() const;
    // Asked during a handshake whose certificate the system cannot verify, for as long as it
    // takes (the handshake's deadline waits): true goes on with it all the same, false fails
    // the connect with sckCertificateRefused. Without one, every such certificate fails.
    using CertificateCheck
        = std::function<bool(const QSslCertificate &certificate, const QList<QSslError> &errors)>;
    void setCertificateCheck(CertificateCheck check) { m_certificateCheck = std::move(check); }
    // Takes effect at the next connect; tests shorten it.
    void setDeadLinkSeconds(int seconds);
    // After a Close event for a link that died: the last moment the server was known to have
    // received what we sent, so lines sent since may be lost. Null otherwise.
    QDateTime linkLostSince() const { return m_linkLostSince; }

signals:
    void ConnectEvent();
    void DataArrival(qint64 bytesTotal);
    void CloseEvent();
    void Error(qint16 number, const QString &description);

private:
    void closeSocket();
    void onConnected();
    void onEncrypted();
    void onSslErrors(const QList<QSslError> &errors);
    void onHandshakeOverdue();
    void onDisconnected();
    void onErrorOccurred(QAbstractSocket::SocketError error);
    void raiseErrorLater(qint16 number, const QString &description);
    void raiseCloseLater();
    void watchForDeadLink();
    void releaseLinkRecord();
    QDateTime lastAcknowledged() const;
    // Made at the first connect: a TLS socket loads the TLS library, which the window's first
    // paint need not wait for.
    QSslSocket *socket();

    QSslSocket *m_socket = nullptr;
    QTimer *m_handshakeDeadline;
    CertificateCheck m_certificateCheck;
    std::unique_ptr<QSslCertificate> m_clientCertificate;
    std::unique_ptr<QSslKey> m_clientKey;
    WireEncoding m_encoding = WireEncoding::Cp932;
    bool m_tls = false;
    bool m_certificateRefused = false;
    WireDecoder m_decoder;
    // Queued events belong to one attempt; a later Connect() or Close() makes them stale.
    quint64 m_attempt = 0;
    bool m_closingHere = false;
    bool m_peerClosed = false;
    bool m_established = false;
    int m_deadLinkSeconds = deadLinkSeconds;
    // The system's record of the connection, kept readable to tell when the link died.
    qintptr m_linkRecord = -1;
    QDateTime m_lastReceived;
    QDateTime m_linkLostSince;
};
