#include "serverSession.h"

#include "platform/socketControl.h"

#include <QTest>

using namespace Qt::StringLiterals;

const QByteArray ServerSession::greeting
    = ":irc.test 020 * :Please wait while we process your connection.\r\n";
const QByteArray ServerSession::endOfMotd = ":irc.test 376 Timer :End of MOTD command.\r\n";

ServerSession::ServerSession()
    : form(std::make_unique<frmMain>())
    , server(std::make_unique<LoopbackServer>())
{
}

bool ServerSession::connect()
{
    form->strServer = u"127.0.0.1"_s;
    form->strNick = u"Timer"_s;
    form->strChannel = u"#chan"_s;
    form->Ws->Connect(form->strServer, server->portText());
    if (!server->waitForClient() || !server->waitForReceived(" :Kestrion\r\n"))
        return false;
    QTest::qWait(20);
    markSent();
    return true;
}

bool ServerSession::logIn()
{
    server->send(greeting + endOfMotd);
    if (!server->waitForReceived("+sn\r\n")
        || !QTest::qWaitFor([this] { return form->loggedIn(); }))
        return false;
    markSent();
    return true;
}

void ServerSession::markSent()
{
    m_mark = server->receivedLines().size();
}

QList<QByteArray> ServerSession::sentSinceMark()
{
    return server->receivedLines().mid(m_mark);
}

bool ServerSession::waitForSent(qsizetype count)
{
    return QTest::qWaitFor([&] { return server->receivedLines().size() - m_mark >= count; });
}
