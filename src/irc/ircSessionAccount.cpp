// The account's login by SASL, inside the capability negotiation of each connection.

#include "clientCertificate.h"
#include "ircSession.h"
#include "socketControl.h"

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
        const CapNegotiation::Answer answer = m_capabilities.answer(message);
        for (const QString &line : answer.lines)
            SendLine(line);
        for (const QString &status : answer.status)
            emit statusLine(status);
        if (answer.accountRefused)
            refuseAccount(answer.status.value(0));
    }
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
