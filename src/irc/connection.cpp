#include "app/basGeneral.h"
#include "app/frmMain.h"
#include "app/version.h"
#include "blockRecognition.h"
#include "certificateQuestion.h"
#include "frmConnect.h"
#include "platform/messageBox.h"
#include "platform/processControl.h"
#include "platform/socketControl.h"
#include "platform/windowHelpers.h"
#include "reconnection.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QLineEdit>
#include <QPushButton>
#include <QSslCertificate>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace basGeneral;
using namespace platform;

void frmMain::mnuDisconnect_Click()
{
    // A reconnection waiting for its time has no connection to ask about.
    if (isReconnecting() && Ws->State() == SocketControl::sckClosed) {
        cancelReconnection();
        SetMenusOffline();
        return;
    }
    if (Ws->State() == SocketControl::sckConnected
        && messageBox(u"本当に切断しますか？"_s, MB_CONFIRM) != IDOK)
        return;
    cancelReconnection();
    m_closeAskedFor = true;
    Ws->Close();
    // Our own close raises no Close event, so the close handling runs here, once.
    Ws_Close();
}

void frmMain::Ws_Connect()
{
    AddStatusLog(u"[+] "_s + strServer + u"に接続しました"_s);
    if (Ws->tls())
        AddStatusLog(u"[+] "_s + Ws->tlsVersionName() + u"で暗号化しました"_s);
    m_connectHost = strServer;
    m_serverNamed = false;
    m_closeAskedFor = false;
    m_receivedLines.clear();
    // The login lines wait a quarter of a second, without holding up a run's ticks.
    m_loginPause->start();
}

void frmMain::sendLoginLines()
{
    // The connection was closed, or replaced by another, during the pause.
    if (Ws->State() != SocketControl::sckConnected)
        return;
    AddStatusLog(u"[+] ログイン情報を送信"_s);
    if (!m_serverPassword.isEmpty())
        SendPassword(m_serverPassword);
    SendLine(u"NICK "_s + strNick);
    // Whatever arrived meanwhile is handled now, before the user line: a numeric 020 among it
    // gives the user line the server's own name.
    QCoreApplication::processEvents();
    SendLine(u"USER tmr"_s + QString::number(versionMajor) + QString::number(versionMinor)
             + QString::number(versionRevision) + u" "_s + Ws->LocalHostName() + u" "_s + strServer
             + u" :Kestrion"_s);
}

void frmMain::Ws_DataArrival(qint64)
{
    QString read;
    Ws->GetData(read);
    AddServerLog(read);
    const QString block = m_receivedLines.take(read);
    if (!blnLoggedIn)
        applyPreLoginTests(block);
    else
        applyPostLoginTests(block);
    if (!blnLoggedIn && !Ws->tls() && blockRecognition::isTlsRecord(read))
        AddStatusLog(u"[x] サーバはTLSで応答しました: 「TLSを使う」を選んでください"_s);
    // The server's own reason (a throttle, a ban, too many connections) tells the user more
    // than the bare close that follows.
    if (const std::optional<QString> reason = blockRecognition::errorText(block))
        AddStatusLog(u"[x] "_s + *reason);
    if (Ws->State() == SocketControl::sckClosed)
        AddStatusLog(u"[x] "_s + strServer + u"から切断しました"_s);
}

void frmMain::applyPreLoginTests(const QString &block)
{
    if (blockRecognition::holds020(block)) {
        if (const std::optional<QString> name = blockRecognition::serverNameFrom020(block)) {
            strServer = *name;
            m_serverNamed = true;
        }
        AddStatusLog(u"[+] 現在"_s + strServer + u"に接続しています"_s);
    }
    // Most networks send no 020 and answer from a server whose name differs from the
    // round-robin host the user chose; their welcome names it.
    if (!m_serverNamed) {
        if (const std::optional<QString> name
            = blockRecognition::serverNameFromWelcome(block, strNick)) {
            strServer = *name;
            m_serverNamed = true;
            AddStatusLog(u"[+] 現在"_s + strServer + u"に接続しています"_s);
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
        AddStatusLog(u"[x] "_s + *ban);
        // Knocking on a server that has banned us, once a minute, would be abuse.
        cancelReconnection();
    }
}

void frmMain::refuseNickname(const QString &why)
{
    AddStatusLog(why);
    if (isReconnecting()) {
        tryAlternateNickname();
        return;
    }
    SendLine(u"QUIT"_s);
    connectDialog().txtNick->setText(strNick + u"_"_s);
}

void frmMain::completeLogin()
{
    JoinChannel();
    SendLine(u"MODE "_s + strChannel + u" +sn"_s);
    AddStatusLog(u"[+] "_s + strChannel + u"にログインしました"_s);
    blnLoggedIn = true;
    // A run that kept time through a lost connection keeps its controls: the minutes and
    // the disconnect command stay locked, and a countdown still cannot be interrupted.
    SetMenusOnline();
    if (isRunInProgress())
        mnuDisconnect->setEnabled(false);
    cmdCount->setEnabled(!isRunInProgress() || blnStartWar);
    EnableChatInput();
    if (!isRunInProgress())
        EnableMinutes();
    // A reconnection keeps trying the user's own nickname first, whatever this one logged in
    // under.
    if (isReconnecting())
        finishReconnecting();
    else
        m_reconnection->setTarget({m_connectHost, strPort, strNick});
}

void frmMain::applyPostLoginTests(const QString &block)
{
    for (const QString &answer : blockRecognition::pingAnswers(block, strServer, true, strChannel))
        SendLine(answer);
    if (blockRecognition::isOwnPart(block, strNick, strChannel)) {
        m_closeAskedFor = true;
        SendLine(u"QUIT"_s);
    }
    if (blockRecognition::isKickOf(block, strChannel, strNick)) {
        AddStatusLog(u"[i] "_s + strChannel + u"から追い出されました"_s);
        m_closeAskedFor = true;
        SendLine(u"QUIT"_s);
    }
}

void frmMain::Ws_Close()
{
    const bool wasLoggedIn = blnLoggedIn;
    AddStatusLog(u"[x] "_s + strServer + u"から切断しました"_s);
    if (const QDateTime lostSince = Ws->linkLostSince(); lostSince.isValid())
        AddStatusLog(u"[x] "_s + logTimeStamp(lostSince.time())
                     + u"以降に送った行はサーバに届いていないおそれがあります"_s);
    SetMenusOffline();
    txtSend->setEnabled(false);
    setBackgroundColour(txtSend, COLOR_SCROLLBAR);
    // A measurement in progress can always be stopped, connected or not.
    cmdCount->setEnabled(blnStartWar);
    DisableMinutes();
    blnLoggedIn = false;
    if (isReconnecting())
        reconnectionFailed(u"サーバが接続を閉じました"_s);
    else if (wasLoggedIn && !m_closeAskedFor)
        startReconnecting();
}

bool frmMain::Ws_CertificateUnverified(const QSslCertificate &certificate,
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
    const QString question = certificateQuestion::text(strServer, strPort, certificate, errors);
    const bool trusted = messageBox(question, MB_WARY_QUESTION) == IDYES;
    m_certificateTrust.answer(strServer, strPort, digest, trusted);
    return trusted;
}

void frmMain::Ws_Error(qint16 Number, const QString &Description)
{
    Ws->Close();
    const QString reason = Number == SocketControl::sckCertificateRefused
        ? u"サーバの証明書を確認できませんでした（"_s + m_certificateTrust.problem() + u"）"_s
        : Description;
    // An attempt of its own that fails is only tried again: the user may be far from the desk.
    if (isReconnecting()) {
        reconnectionFailed(reason);
        return;
    }
    // TLS failures leave the program running, connected or not: only the box differs.
    if (Number == SocketControl::sckCertificateRefused || Number == SocketControl::sckTlsFailed) {
        AddStatusLog(u"[-] "_s + strServer + u"に接続できません: "_s + reason);
        if (!m_certificateTrust.refusedByUser())
            messageBox(reason, MB_ICONERROR, u"IRCサーバに接続できません"_s);
        SetMenusOffline();
        return;
    }
    if (Number == SocketControl::sckHostNotFound) {
        AddStatusLog(u"[-] "_s + strServer + u"に接続できません"_s);
        messageBox(strServer + u"に接続できません"_s, MB_ICONERROR, u"IRCサーバに接続できません"_s);
        // The connect command would otherwise stay disabled for good.
        SetMenusOffline();
        return;
    }
    // The channel keeps its clock even when the server cannot be reached: a run in progress
    // outlives the failed connect.
    if (isRunInProgress()) {
        AddStatusLog(u"[-] "_s + strServer + u"に接続できません: "_s + Description);
        messageBox(Description, MB_ICONERROR);
        SetMenusOffline();
        return;
    }
    messageBox(Description, MB_ICONERROR);
    terminateProcess(1);
}
