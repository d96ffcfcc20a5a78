#pragma once

#include "capNegotiation.h"
#include "certificateTrust.h"
#include "connectionChoice.h"
#include "ircMessage.h"
#include "receivedLines.h"
#include "wireEncoding.h"

#include <QObject>

class QSslCertificate;
class QSslError;
class QTimer;
class Reconnection;
class SocketControl;

// The one IRC connection: the socket, the login, what the server's lines call for, every line
// written, and the mending of a connection lost without anyone asking. It knows nothing of a
// run or of the server's pace: every line it writes and every block it reads leaves it as a
// signal for whoever paces the channel. It shows nothing itself: what the user should read or
// answer leaves it as signals too.
class IrcSession : public QObject
{
    Q_OBJECT
public:
    explicit IrcSession(QObject *parent = nullptr);

    const QString &server() const { return strServer; }
    const QString &port() const { return strPort; }
    const QString &nick() const { return strNick; }
    const QString &channel() const { return strChannel; }
    // Where the connection stands. Quitting: the program has sent its QUIT and waits for the
    // server to close; nothing more is asked of this connection.
    enum class State { Offline, Connecting, Greeting, Registering, LoggedIn, Quitting };
    State state() const { return m_state; }
    bool loggedIn() const { return m_state == State::LoggedIn; }
    // A connect has been asked for and its login is not through yet.
    bool isConnecting() const;
    bool isConnected() const;
    bool isReconnecting() const;
    WireEncoding encoding() const;
    // A capability the server has granted and not withdrawn.
    bool hasCapability(QStringView capability) const;
    // The server is a bouncer's (it offers znc.in/ or soju.im/ capabilities): it answers our
    // PINGs and echoes our lines itself, whatever the network past it does.
    bool isBouncer() const;
    // What the next connect dialog shows again: port, encoding, TLS and password of the last
    // connect.
    ConnectionChoice lastChoice() const;
    // The socket itself, for tests and benchmarks that watch or steer the wire.
    SocketControl *socket() const { return Ws; }
    // Tests shorten the session's waits (the reconnection's schedule, the server's time to
    // answer the capability negotiation): the length of one of their seconds.
    void setSecondMs(int milliseconds);

    void connectTo(const ConnectionChoice &choice);
    // The user ends the connection, or the reconnection waiting for its time.
    void disconnectFromServer();
    // The user takes the connection into their own hands.
    void abandonReconnection();
    // The program ends: no reconnection, no close handling.
    void shutDown();

    // Whether the line went out.
    bool SendLine(const QString &line);
    // In one write, so that the server reads them together. Whether they went out.
    bool SendLines(const QStringList &lines);
    // The same for lines the channel is to read: until the join the server refuses them, and
    // nobody there would read them, so they are logged as unsent.
    bool SendChannelLines(const QStringList &lines);
    // The answer to certificateQuestion, given while it is being emitted.
    void answerCertificateQuestion(bool trusted) { m_certificateAnswer = trusted; }

signals:
    void statusLine(const QString &text);
    // Raw, as it came: for the server log.
    void dataReceived(const QString &read);
    // Logged in, connecting, offline or reconnecting changed.
    void stateChanged();
    void loggedInToChannel();
    // Before the login, the server refused the nickname; the connect dialog may offer this one.
    void nicknameRefused(const QString &suggestion);
    // A certificate the system could not verify: whether to go on with it, answered through
    // answerCertificateQuestion() before the emission returns.
    void certificateQuestion(const QString &question);
    // A failed connect the user must be told of in a box; the program goes on.
    void connectRefused(const QString &text, const QString &title);
    // A connect that failed for another reason (refused, unreachable, timed out).
    void connectFailed(const QString &description);

    // A connection is open, and nothing was written on it yet.
    void connectionOpened();
    // The connection is closed; what was waiting to be written on it is void.
    void connectionClosed();
    // A block of whole lines read, before the session acts on it.
    void messagesArrived(const IrcMessages &block);
    // A line written, with its length on the wire (CR LF included).
    void lineWritten(const QString &line, qsizetype wireBytes);
    // A line nobody waits for (the NAMES after a PONG): whoever paces the channel writes it
    // through SendLine once it holds up nothing.
    void lineDeferred(const QString &line);

private:
    void Ws_Connect();
    void Ws_DataArrival();
    void Ws_Close();
    void Ws_Error(qint16 Number, const QString &Description);
    bool Ws_CertificateUnverified(const QSslCertificate &certificate,
                                  const QList<QSslError> &errors);
    void sendLoginLines();
    // The capability request, the password and the nickname.
    void SendLoginStart();
    void quit();
    void answerCapabilities(const IrcMessages &block);
    void act(const CapNegotiation::Answer &answer);
    // The server took too long over an answer the login waits for.
    void giveUpCapabilities();
    SaslLogin saslLogin() const;
    // The certificate for SASL EXTERNAL, read afresh for each connection; false, told to the
    // user, when it cannot be read.
    bool loadClientCertificate();
    void refuseAccount(const QString &why);
    void logUnsent(const QString &safeLine);
    void applyPreLoginTests(const IrcMessages &block);
    void refuseNickname(const QString &why);
    void applyPostLoginTests(const IrcMessages &block);
    void completeLogin();
    void startReconnecting();
    void reconnectNow();
    void giveUpAttempt();
    void scheduleReconnection();
    void reconnectionFailed(const QString &why);
    void tryAlternateNickname();
    void finishReconnecting();
    void cancelReconnection();

    QString strServer;
    QString strPort;
    QString strNick;
    QString strChannel;
    State m_state = State::Offline;
    // The host as the user chose it; the server may rename strServer.
    QString m_connectHost;
    bool m_certificateAnswer = false;
    QString m_password;
    QString m_account;
    QString m_certificateFile;

    SocketControl *Ws;
    // The pause between the connection opening and the login lines.
    QTimer *m_loginPause;
    // The server's time for each answer in the capability negotiation.
    QTimer *m_capabilityDeadline;
    int m_secondMs = 1000;
    ReceivedLines m_receivedLines;
    CertificateTrust m_certificateTrust;
    Reconnection *m_reconnection;
    CapNegotiation m_capabilities;
};
