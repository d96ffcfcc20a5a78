#include "common/logTimeStamp.h"
#include "ircSession.h"
#include "reconnection.h"
#include "reconnectionSchedule.h"
#include "socketControl.h"

using namespace Qt::StringLiterals;

void IrcSession::startReconnecting()
{
    const QDateTime lostSince = Ws->linkLostSince();
    m_reconnection->start(lostSince.isValid() ? lostSince : QDateTime::currentDateTime());
    scheduleReconnection();
}

void IrcSession::scheduleReconnection()
{
    m_state = State::Offline;
    Ws->Close();
    const int seconds = m_reconnection->scheduleNext();
    emit statusLine(
        u"[+] %1秒後に再接続します（%2回目）"_s.arg(seconds).arg(m_reconnection->attempt() + 1));
}

void IrcSession::reconnectNow()
{
    m_reconnection->beginAttempt();
    const Reconnection::Target &target = m_reconnection->target();
    strServer = target.host;
    strPort = target.port;
    strNick = target.nick;
    emit statusLine(u"[+] "_s + strServer
                    + u"に再接続を試みます（%1回目）"_s.arg(m_reconnection->attempt()));
    if (!loadClientCertificate()) {
        scheduleReconnection();
        return;
    }
    m_state = State::Connecting;
    Ws->Connect(strServer, strPort);
    emit stateChanged();
}

void IrcSession::giveUpAttempt()
{
    Ws->Close();
    reconnectionFailed(
        u"%1秒以内にログインできませんでした"_s.arg(reconnectionSchedule::loginSeconds));
    emit stateChanged();
}

void IrcSession::reconnectionFailed(const QString &why)
{
    emit statusLine(u"[-] 再接続できませんでした（%1回目）: "_s.arg(m_reconnection->attempt())
                    + why);
    scheduleReconnection();
}

void IrcSession::tryAlternateNickname()
{
    const std::optional<QString> nick = m_reconnection->nextNickname();
    if (!nick) {
        // The server's close of this attempt brings the next one.
        quit();
        return;
    }
    strNick = *nick;
    emit statusLine(u"[+] ニックネームを"_s + strNick + u"にして試します"_s);
    SendLine(u"NICK "_s + strNick);
}

void IrcSession::finishReconnecting()
{
    m_reconnection->stop();
    emit statusLine(u"[+] 再接続しました（"_s + logTimeStamp(m_reconnection->lostSince().time())
                    + u"から切断されていました）"_s);
}

void IrcSession::cancelReconnection()
{
    if (!m_reconnection->isActive())
        return;
    m_reconnection->stop();
    emit statusLine(u"[i] 再接続を取りやめました"_s);
    emit stateChanged();
}
