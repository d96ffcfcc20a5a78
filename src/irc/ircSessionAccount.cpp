// The account's login by SASL, inside the capability negotiation of each connection.

#include "clientCertificate.h"
#include "ircSession.h"
#include "socketControl.h"

#include <QTimer>

using namespace Qt::StringLiterals;

SaslLogin IrcSession::saslLogin() const
{
    if (!m_certificateFile.isEmpty())
        return SaslLogin(SaslLogin::Mechanism::External, m_account, QString());
    if (!m_account.isEmpty())
        return SaslLogin(SaslLogin::Mechanism::Plain, m_account, m_password);
    return SaslLogin();
}

bool IrcSession::loadClientCertificate()
{
    if (m_certificateFile.isEmpty() || !Ws->tls()) {
        Ws->clearClientCertificate();
        return true;
    }
    const ClientCertificate read = ClientCertificate::read(m_certificateFile);
    if (read.problem.isEmpty()) {
        Ws->setClientCertificate(read.certificate, read.key);
        return true;
    }
    emit statusLine(u"[-] "_s + strServer + u"に接続できません: "_s + read.problem);
    if (!isReconnecting())
        emit connectRefused(read.problem, u"IRCサーバに接続できません"_s);
    return false;
}

void IrcSession::answerCapabilities(const IrcMessages &block)
{
    for (const IrcMessage &message : block) {
        // A refusal ends the connection: the rest of the block is not acted on.
        if (m_state == State::Quitting)
            return;
        act(m_capabilities.answer(message));
    }
}

void IrcSession::giveUpCapabilities()
{
    if (isConnecting() && isConnected())
        act(m_capabilities.giveUp());
}

void IrcSession::act(const CapNegotiation::Answer &answer)
{
    // Each answer the login waits for has its own time from our last line.
    if (!m_capabilities.isWaiting())
        m_capabilityDeadline->stop();
    else if (!answer.lines.isEmpty())
        m_capabilityDeadline->start(CapNegotiation::answerSeconds * m_secondMs);
    for (const QString &status : answer.status)
        emit statusLine(status);
    if (!answer.lines.isEmpty())
        SendLines(answer.lines);
    if (answer.accountRefused)
        refuseAccount(answer.status.value(0));
}

// Trying the same account again would only be refused again, and a network counts the
// refusals against the address.
void IrcSession::refuseAccount(const QString &why)
{
    quit();
    if (isReconnecting())
        cancelReconnection();
    else
        emit connectRefused(why.mid(why.indexOf(u' ') + 1), u"IRCサーバにログインできません"_s);
}
