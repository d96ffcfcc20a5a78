#include "app/basGeneral.h"
#include "app/frmMain.h"
#include "platform/socketControl.h"
#include "reconnection.h"
#include "reconnectionSchedule.h"

#include <QAction>

using namespace Qt::StringLiterals;
using namespace basGeneral;

bool frmMain::isReconnecting() const
{
    return m_reconnection->isActive();
}

void frmMain::setReconnectSecondMs(int milliseconds)
{
    m_reconnection->setSecondMs(milliseconds);
}

void frmMain::startReconnecting()
{
    const QDateTime lostSince = Ws->linkLostSince();
    m_reconnection->start(lostSince.isValid() ? lostSince : QDateTime::currentDateTime());
    scheduleReconnection();
}

void frmMain::scheduleReconnection()
{
    Ws->Close();
    const int seconds = m_reconnection->scheduleNext();
    AddStatusLog(
        u"[+] %1秒後に再接続します（%2回目）"_s.arg(seconds).arg(m_reconnection->attempt() + 1));
    // Offline, and still there is something to stop.
    mnuDisconnect->setEnabled(true);
}

void frmMain::reconnectNow()
{
    m_reconnection->beginAttempt();
    const Reconnection::Target &target = m_reconnection->target();
    strServer = target.host;
    strPort = target.port;
    strNick = target.nick;
    AddStatusLog(u"[+] "_s + strServer
                 + u"に再接続を試みます（%1回目）"_s.arg(m_reconnection->attempt()));
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
    AddStatusLog(u"[-] 再接続できませんでした（%1回目）: "_s.arg(m_reconnection->attempt()) + why);
    scheduleReconnection();
}

void frmMain::tryAlternateNickname()
{
    const std::optional<QString> nick = m_reconnection->nextNickname();
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
    m_reconnection->stop();
    AddStatusLog(u"[+] 再接続しました（"_s + logTimeStamp(m_reconnection->lostSince().time())
                 + u"から切断されていました）"_s);
}

void frmMain::cancelReconnection()
{
    if (!m_reconnection->isActive())
        return;
    m_reconnection->stop();
    AddStatusLog(u"[i] 再接続を取りやめました"_s);
}
