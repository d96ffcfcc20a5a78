#include "app/basGeneral.h"
#include "app/frmMain.h"
#include "platform/socketControl.h"
#include "reconnectionSchedule.h"

#include <QAction>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace basGeneral;

void frmMain::startReconnecting()
{
    m_reconnecting = true;
    m_reconnectAttempt = 0;
    const QDateTime lostSince = Ws->linkLostSince();
    m_lostSince = lostSince.isValid() ? lostSince : QDateTime::currentDateTime();
    scheduleReconnection();
}

void frmMain::scheduleReconnection()
{
    Ws->Close();
    m_loginDeadline->stop();
    const int attempt = m_reconnectAttempt + 1;
    const int seconds = reconnectionSchedule::delaySeconds(attempt);
    AddStatusLog(u"[+] %1秒後に再接続します（%2回目）"_s.arg(seconds).arg(attempt));
    m_reconnectTimer->start(seconds * m_reconnectSecondMs);
    // Offline, and still there is something to stop.
    mnuDisconnect->setEnabled(true);
}

void frmMain::reconnectNow()
{
    ++m_reconnectAttempt;
    m_nickCollisions = 0;
    strServer = m_reconnectTarget.host;
    strPort = m_reconnectTarget.port;
    strNick = m_reconnectTarget.nick;
    AddStatusLog(u"[+] "_s + strServer + u"に再接続を試みます（%1回目）"_s.arg(m_reconnectAttempt));
    // Also a connect that hangs is given up in time for the next attempt.
    m_loginDeadline->start(reconnectionSchedule::loginSeconds * m_reconnectSecondMs);
    Ws->Connect(strServer, strPort);
}

void frmMain::giveUpAttempt()
{
    Ws->Close();
    reconnectionFailed(
        u"%1秒以内にログインできませんでした"_s.arg(reconnectionSchedule::loginSeconds));
}

void frmMain::reconnectionFailed(const QString &why)
{
    AddStatusLog(u"[-] 再接続できませんでした（%1回目）: "_s.arg(m_reconnectAttempt) + why);
    scheduleReconnection();
}

void frmMain::tryAlternateNickname()
{
    const std::optional<QString> nick
        = reconnectionSchedule::alternateNickname(m_reconnectTarget.nick, ++m_nickCollisions);
    if (!nick) {
        // The server's close of this attempt brings the next one.
        SendLine(u"QUIT"_s);
        return;
    }
    strNick = *nick;
    AddStatusLog(u"[+] ニックネームを"_s + strNick + u"にして試します"_s);
    SendLine(u"NICK "_s + strNick);
}

void frmMain::finishReconnecting()
{
    m_reconnecting = false;
    m_reconnectTimer->stop();
    m_loginDeadline->stop();
    AddStatusLog(u"[+] 再接続しました（"_s + logTimeStamp(m_lostSince.time())
                 + u"から切断されていました）"_s);
}

void frmMain::cancelReconnection()
{
    if (!m_reconnecting)
        return;
    m_reconnecting = false;
    m_reconnectTimer->stop();
    m_loginDeadline->stop();
    AddStatusLog(u"[i] 再接続を取りやめました"_s);
}
