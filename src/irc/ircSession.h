#pragma once

#include "capNegotiation.h"
#include "certificateTrust.h"
#include "connectionChoice.h"
#include "floodAccount.h"
#include "ircMessage.h"
#include "receivedLines.h"
#include "scheduledLine.h"

#include <QDateTime>
#include <QObject>

class QSslCertificate;
class QSslError;
class QTimer;
class Reconnection;
class SocketControl;

// The one IRC connection: the login, what the server's lines call for, every line sent, and
// the mending of a connection lost without anyone asking. It shows nothing itself: what the
// user should read or answer leaves it as signals.
class IrcSession : public QObject
{
    Q_OBJECT
public:
    explicit IrcSession(QObject *parent = nullptr);

    const QString &server() const { return strServer; }
    const QString &port() const { return strPort; }
    const QString &nick() const { return strNick; }
    const QString &channel() const { return strChannel; }
    bool loggedIn() const { return blnLoggedIn; }
    // A connect has been asked for and its login is not through yet.
    bool isConnecting() const { return m_connecting; }
    bool isConnected() const;
    bool isReconnecting() const;
    // What the next connect dialog shows again: port, encoding, TLS and password of the last
    // connect.
    ConnectionChoice lastChoice() const;
    // The socket itself, for tests and benchmarks that watch or steer the wire.
    SocketControl *socket() const { return Ws; }
    // Tests shorten the reconnection's schedule: the length of one of its seconds.
    void setReconnectSecondMs(int milliseconds);

    void connectTo(const ConnectionChoice &choice);
    // The user ends the connection, or the reconnection waiting for its time.
    void disconnectFromServer();
    // The user takes the connection into their own hands.
    void abandonReconnection();
    // The program ends: no reconnection, no close handling.
    void shutDown();

    // The clock the server's account and a run's schedule share, in milliseconds.
    static qint64 nowMs();
    // When a run's lines (due in milliseconds from its start) can start so that the server's
    // flood control holds none of them; or, where no wait does that, holds them least.
    FloodAccount::Plan planStart(const ScheduledLines &lines) const;
    // The run's lines still due, on the shared clock: nothing the session could hold back may
    // make them late. Empty when no run is in progress.
    void protectSchedule(const ScheduledLines &lines);
    // The run has sent a group of lines (the countdown, the end): the status log says when
    // the last of them reached the channel.
    void reportArrival();

    // Whether the line went out.
    bool SendLine(const QString &line);
    // stale: the line's moment has passed (the machine froze or slept); it is logged instead.
    void SendPrivmsg(const QString &text, bool stale = false);
    void SendNotice(const QString &text, bool stale = false);
    // What the user types: held while it would make a due line of the run late.
    void SendChatText(const QString &text);
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
    // Whether the line went out.
    bool sendToChannel(const QString &line, bool stale);
    // A line of the run, kept until its arrival is known.
    void sendAnnouncement(const ScheduledLine &line, bool stale);
    FloodAccount::Line accountLine(const QString &line, qint64 dueMs = 0) const;
    // A line of ours that no announcement waits for: sent now, or once it makes none late.
    void sendWhenHarmless(const QString &line, bool typed);
    void sendHeldLines();
    void dropHeldLines();
    void answerCapabilities(const IrcMessages &block);
    SaslLogin saslLogin() const;
    // The certificate for SASL EXTERNAL, read afresh for each connection; false, told to the
    // user, when it cannot be read.
    bool loadClientCertificate();
    void refuseAccount(const QString &why);
    void noteServerFamily(const IrcMessages &block);
    void takeArrivals(const IrcMessages &block);
    void logArrival(const QString &text, qint64 latenessMs);
    void logPredictedArrival(const QString &text, qint64 latenessMs);
    void logArrivalBound(const QString &text, qint64 latenessMs);
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
    bool blnLoggedIn = false;
    // The server has named itself on this connection (by 020, or else by its welcome); a later
    // welcome does not rename it.
    bool m_serverNamed = false;
    // The host as the user chose it; the server may rename strServer.
    QString m_connectHost;
    // The user or the program itself ended the connection: nothing to mend.
    bool m_closeAskedFor = false;
    bool m_connecting = false;
    bool m_certificateAnswer = false;
    QString m_password;
    QString m_account;
    QString m_certificateFile;

    SocketControl *Ws;
    // The pause between the connection opening and the login lines.
    QTimer *m_loginPause;
    ReceivedLines m_receivedLines;
    CertificateTrust m_certificateTrust;
    Reconnection *m_reconnection;

    CapNegotiation m_capabilities;
    FloodAccount m_flood;
    // The run's lines still due, as the server will read them.
    QList<FloodAccount::Line> m_protected;
    struct HeldLine
    {
        QString line;
        bool typed;
    };
    QList<HeldLine> m_held;
    QTimer *m_heldRelease;
    // The run's lines sent and not yet known to have reached the channel, oldest first.
    struct SentLine
    {
        QString text;
        qint64 sentMs;
        QDateTime sentAt;
        // The last of its group: its arrival is reported even when on time.
        bool reported = false;
    };
    QList<SentLine> m_unconfirmed;
    // The PING whose answer shows that every line before it was relayed.
    QString m_arrivalToken;
    int m_arrivalPings = 0;
};
