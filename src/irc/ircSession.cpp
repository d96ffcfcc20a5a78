#include "ircSession.h"

#include "blockRecognition.h"
#include "certificateQuestion.h"
#include "common/logTimeStamp.h"
#include "common/version.h"
#include "reconnection.h"
#include "socketControl.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSslCertificate>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// A line break or NUL inside a pasted text would end the line early and smuggle the rest to
// the server as a command of its own.
QString withoutLineBreaks(const QString &line)
{
    QString safeLine = line;
    for (QChar &ch : safeLine) {
        if (ch == u'\r' || ch == u'\n' || ch == QChar(0))
            ch = u' ';
    }
    return safeLine;
}

} // namespace

IrcSession::IrcSession(QObject *parent)
    : QObject(parent)
    , Ws(new SocketControl(this))
    , m_loginPause(new QTimer(this))
    , m_capabilityDeadline(new QTimer(this))
    , m_reconnection(new Reconnection(this))
{
    Ws->setObjectName(u"Ws"_s);
    connect(Ws, &SocketControl::ConnectEvent, this, &IrcSession::Ws_Connect);
    connect(Ws, &SocketControl::DataArrival, this, &IrcSession::Ws_DataArrival);
    connect(Ws, &SocketControl::CloseEvent, this, &IrcSession::Ws_Close);
    connect(Ws, &SocketControl::Error, this, &IrcSession::Ws_Error);
    Ws->setCertificateCheck(
        [this](const QSslCertificate &certificate, const QList<QSslError> &errors) {
            return Ws_CertificateUnverified(certificate, errors);
        });
    m_loginPause->setSingleShot(true);
    m_loginPause->setTimerType(Qt::PreciseTimer);
    m_loginPause->setInterval(250);
    connect(m_loginPause, &QTimer::timeout, this, &IrcSession::sendLoginLines);
    m_capabilityDeadline->setSingleShot(true);
    connect(m_capabilityDeadline, &QTimer::timeout, this, &IrcSession::giveUpCapabilities);
    connect(m_reconnection, &Reconnection::attemptDue, this, &IrcSession::reconnectNow);
    connect(m_reconnection, &Reconnection::loginOverdue, this, &IrcSession::giveUpAttempt);
}

bool IrcSession::isConnecting() const
{
    return m_state == State::Connecting || m_state == State::Greeting
        || m_state == State::Registering;
}

WireEncoding IrcSession::encoding() const
{
    return Ws->encoding();
}

bool IrcSession::hasCapability(QStringView capability) const
{
    return m_capabilities.isEnabled(capability);
}

bool IrcSession::isBouncer() const
{
    return m_capabilities.isBouncer();
}

bool IrcSession::isConnected() const
{
    return Ws->State() == SocketControl::sckConnected;
}

bool IrcSession::isReconnecting() const
{
    return m_reconnection->isActive();
}

ConnectionChoice IrcSession::lastChoice() const
{
    ConnectionChoice choice;
    choice.port = strPort;
    choice.encoding = Ws->encoding();
    choice.tls = Ws->tls();
    choice.password = m_password;
    choice.account = m_account;
    choice.certificateFile = m_certificateFile;
    return choice;
}

void IrcSession::setSecondMs(int milliseconds)
{
    m_secondMs = milliseconds;
    m_reconnection->setSecondMs(milliseconds);
}

void IrcSession::connectTo(const ConnectionChoice &choice)
{
    Ws->Close();
    m_state = State::Offline;
    strChannel = choice.channel;
    strServer = choice.server;
    strNick = choice.nick;
    strPort = choice.port;
    emit statusLine(u"[+] "_s + strServer + u"に接続を試みます"_s);
    Ws->setEncoding(choice.encoding);
    Ws->setTls(choice.tls);
    m_password = choice.password;
    m_account = choice.account;
    m_certificateFile = choice.certificateFile;
    if (!loadClientCertificate())
        return;
    m_state = State::Connecting;
    Ws->Connect(strServer, strPort);
    emit stateChanged();
}

void IrcSession::disconnectFromServer()
{
    // A reconnection waiting for its time has no connection to close.
    if (isReconnecting() && Ws->State() == SocketControl::sckClosed) {
        cancelReconnection();
        return;
    }
    cancelReconnection();
    m_state = State::Quitting;
    Ws->Close();
    // Our own close raises no Close event, so the close handling runs here, once.
    Ws_Close();
}

void IrcSession::abandonReconnection()
{
    if (!isReconnecting())
        return;
    m_state = State::Offline;
    Ws->Close();
    cancelReconnection();
}

void IrcSession::shutDown()
{
    cancelReconnection();
    m_state = State::Offline;
    Ws->Close();
}

void IrcSession::Ws_Connect()
{
    emit statusLine(u"[+] "_s + strServer + u"に接続しました"_s);
    if (Ws->tls())
        emit statusLine(u"[+] "_s + Ws->tlsVersionName() + u"で暗号化しました"_s);
    m_connectHost = strServer;
    m_state = State::Greeting;
    m_receivedLines.clear();
    m_capabilityDeadline->stop();
    m_capabilities = CapNegotiation(saslLogin(),
                                    isReconnecting() ? CapNegotiation::Refusal::LoginWithoutAccount
                                                     : CapNegotiation::Refusal::EndsLogin);
    emit connectionOpened();
    // The login lines wait a quarter of a second, without holding up a run's ticks.
    m_loginPause->start();
    emit stateChanged();
}

void IrcSession::sendLoginLines()
{
    // The connection was closed, or replaced by another, during the pause.
    if (Ws->State() != SocketControl::sckConnected)
        return;
    emit statusLine(u"[+] ログイン情報を送信"_s);
    SendLoginStart();
    m_capabilityDeadline->start(CapNegotiation::answerSeconds * m_secondMs);
    // Whatever arrived meanwhile is handled now, before the user line: a numeric 020 among it
    // gives the user line the server's own name.
    QCoreApplication::processEvents();
    SendLine(u"USER tmr"_s + QString::number(versionMajor) + QString::number(versionMinor)
             + QString::number(versionRevision) + u" "_s + Ws->LocalHostName() + u" "_s + strServer
             + u" :Kestrion"_s);
}

void IrcSession::Ws_DataArrival()
{
    QString read;
    Ws->GetData(read);
    emit dataReceived(read);
    const IrcMessages block = IrcMessage::parseBlock(m_receivedLines.take(read));
    emit messagesArrived(block);
    // Once the program has said QUIT, nothing the server says is answered.
    if (m_state != State::Quitting)
        answerCapabilities(block);
    if (isConnecting())
        applyPreLoginTests(block);
    else if (loggedIn())
        applyPostLoginTests(block);
    if (isConnecting() && !Ws->tls() && blockRecognition::isTlsRecord(read))
        emit statusLine(u"[x] サーバはTLSで応答しました: 「TLSを使う」を選んでください"_s);
    // The server's own reason (a throttle, a ban, too many connections) tells the user more
    // than the bare close that follows.
    if (const std::optional<QString> reason = blockRecognition::errorText(block))
        emit statusLine(u"[x] "_s + *reason);
    if (Ws->State() == SocketControl::sckClosed)
        emit statusLine(u"[x] "_s + strServer + u"から切断しました"_s);
}

void IrcSession::applyPreLoginTests(const IrcMessages &block)
{
    if (blockRecognition::holds020(block)) {
        if (const std::optional<QString> name = blockRecognition::serverNameFrom020(block)) {
            strServer = *name;
            m_state = State::Registering;
        }
        emit statusLine(u"[+] 現在"_s + strServer + u"に接続しています"_s);
    }
    // Most networks send no 020 and answer from a server whose name differs from the
    // round-robin host the user chose; their welcome names it.
    if (m_state == State::Greeting) {
        if (const std::optional<QString> name
            = blockRecognition::serverNameFromWelcome(block, strNick)) {
            strServer = *name;
            m_state = State::Registering;
            emit statusLine(u"[+] 現在"_s + strServer + u"に接続しています"_s);
        }
    }
    // Servers with ping cookies drop a client that leaves their first PING unanswered.
    for (const QString &answer : blockRecognition::pingAnswers(block, strServer, false, strChannel))
        SendLine(answer);
    if (blockRecognition::isEndOfMotd(block, strServer, strNick))
        completeLogin();
    if (blockRecognition::isNicknameInUse(block))
        refuseNickname(u"[x] そのニックネームは既に使われています"_s);
    else if (blockRecognition::isNicknameUnavailable(block))
        refuseNickname(u"[x] そのニックネームは今は使えません"_s);
    if (const std::optional<QString> ban = blockRecognition::banText(block)) {
        emit statusLine(u"[x] "_s + *ban);
        // Knocking on a server that has banned us, once a minute, would be abuse.
        cancelReconnection();
    }
}

void IrcSession::refuseNickname(const QString &why)
{
    emit statusLine(why);
    if (isReconnecting()) {
        tryAlternateNickname();
        return;
    }
    quit();
    emit nicknameRefused(strNick + u"_"_s);
}

void IrcSession::completeLogin()
{
    SendLine(u"JOIN "_s + strChannel);
    SendLine(u"MODE "_s + strChannel + u" +sn"_s);
    emit statusLine(u"[+] "_s + strChannel + u"にログインしました"_s);
    m_state = State::LoggedIn;
    emit loggedInToChannel();
    emit stateChanged();
    // A reconnection keeps trying the user's own nickname first, whatever this one logged in
    // under.
    if (isReconnecting())
        finishReconnecting();
    else
        m_reconnection->setTarget({m_connectHost, strPort, strNick});
}

void IrcSession::applyPostLoginTests(const IrcMessages &block)
{
    // The PONG goes at once; the NAMES after it may wait.
    for (const QString &answer :
         blockRecognition::pingAnswers(block, strServer, true, strChannel)) {
        if (answer.startsWith(u"NAMES "))
            emit lineDeferred(answer);
        else
            SendLine(answer);
    }
    if (blockRecognition::isOwnPart(block, strNick, strChannel)) {
        quit();
        return;
    }
    if (blockRecognition::isKickOf(block, strChannel, strNick)) {
        emit statusLine(u"[i] "_s + strChannel + u"から追い出されました"_s);
        quit();
    }
}

// Nothing to mend once the server closes: the user or the program itself ended it.
void IrcSession::quit()
{
    SendLine(u"QUIT"_s);
    m_state = State::Quitting;
    m_capabilityDeadline->stop();
    emit stateChanged();
}

void IrcSession::Ws_Close()
{
    const bool wasLoggedIn = loggedIn();
    emit statusLine(u"[x] "_s + strServer + u"から切断しました"_s);
    if (const QDateTime lostSince = Ws->linkLostSince(); lostSince.isValid())
        emit statusLine(u"[x] "_s + logTimeStamp(lostSince.time())
                        + u"以降に送った行はサーバに届いていないおそれがあります"_s);
    m_state = State::Offline;
    emit connectionClosed();
    if (isReconnecting())
        reconnectionFailed(u"サーバが接続を閉じました"_s);
    else if (wasLoggedIn)
        startReconnecting();
    emit stateChanged();
}

bool IrcSession::Ws_CertificateUnverified(const QSslCertificate &certificate,
                                          const QList<QSslError> &errors)
{
    const QByteArray digest = certificate.digest(QCryptographicHash::Sha256);
    switch (m_certificateTrust.decide(strServer, strPort, digest, errors, isReconnecting())) {
    case CertificateTrust::Decision::Trusted:
        return true;
    case CertificateTrust::Decision::Refuse:
        return false;
    case CertificateTrust::Decision::AskUser:
        break;
    }
    m_certificateAnswer = false;
    emit certificateQuestion(certificateQuestion::text(strServer, strPort, certificate, errors));
    m_certificateTrust.answer(strServer, strPort, digest, m_certificateAnswer);
    return m_certificateAnswer;
}

void IrcSession::Ws_Error(qint16 Number, const QString &Description)
{
    m_state = State::Offline;
    Ws->Close();
    const QString reason = Number == SocketControl::sckCertificateRefused
        ? u"サーバの証明書を確認できませんでした（"_s + m_certificateTrust.problem() + u"）"_s
        : Description;
    // An attempt of its own that fails is only tried again: the user may be far from the desk.
    if (isReconnecting()) {
        reconnectionFailed(reason);
    } else if (Number == SocketControl::sckCertificateRefused
               || Number == SocketControl::sckTlsFailed) {
        // TLS failures leave the program running, connected or not: only the box differs.
        emit statusLine(u"[-] "_s + strServer + u"に接続できません: "_s + reason);
        if (!m_certificateTrust.refusedByUser())
            emit connectRefused(reason, u"IRCサーバに接続できません"_s);
    } else if (Number == SocketControl::sckHostNotFound) {
        emit statusLine(u"[-] "_s + strServer + u"に接続できません"_s);
        emit connectRefused(strServer + u"に接続できません"_s, u"IRCサーバに接続できません"_s);
    } else {
        emit connectFailed(Description);
    }
    emit stateChanged();
}

bool IrcSession::SendLine(const QString &line)
{
    return SendLines({line});
}

bool IrcSession::SendLines(const QStringList &lines)
{
    // After our QUIT the server is only to close: anything more would be acted on first.
    if (m_state == State::Quitting)
        return false;
    QStringList safeLines;
    QList<QByteArray> encoded;
    QByteArray wire;
    for (const QString &line : lines) {
        safeLines << withoutLineBreaks(line);
        encoded << encodeForWire(Ws->encoding(), safeLines.constLast()) + "\r\n";
        wire += encoded.constLast();
    }
    if (!Ws->SendBytes(wire)) {
        for (const QString &line : std::as_const(safeLines))
            logUnsent(line);
        return false;
    }
    for (qsizetype i = 0; i < safeLines.size(); ++i)
        emit lineWritten(safeLines[i], encoded[i].size());
    return true;
}

bool IrcSession::SendChannelLines(const QStringList &lines)
{
    if (loggedIn())
        return SendLines(lines);
    for (const QString &line : lines)
        logUnsent(withoutLineBreaks(line));
    return false;
}

void IrcSession::SendLoginStart()
{
    QStringList lines {CapNegotiation::listRequest()};
    if (!m_password.isEmpty() && m_account.isEmpty()) {
        // A password with a blank, or one that begins with a colon, only arrives whole as the
        // line's trailing parameter.
        const QString safePassword = withoutLineBreaks(m_password);
        const bool trailing = safePassword.contains(u' ') || safePassword.startsWith(u':');
        lines << u"PASS "_s + (trailing ? u":"_s : QString()) + safePassword;
    }
    lines << u"NICK "_s + withoutLineBreaks(strNick);
    // In one write: a TLS port that finds these bytes is to close with an alert, which tells
    // the user what happened; a part still unread there would turn its close into a reset,
    // and the alert would be lost.
    SendLines(lines);
}

void IrcSession::logUnsent(const QString &safeLine)
{
    // Passwords never reach the log, not even encoded.
    const bool secret = safeLine.startsWith(u"PASS "_s)
        || (safeLine.startsWith(u"AUTHENTICATE "_s) && safeLine != saslLogin().firstLine());
    emit statusLine(u"[-] 未接続のため送信できません: "_s
                    + (secret ? safeLine.section(u' ', 0, 0) : safeLine));
}
