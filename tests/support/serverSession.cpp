#include "serverSession.h"

#include "app/frmServerLog.h"
#include "app/logView.h"
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
    form->strPort = server->portText();
    form->Ws->Connect(form->strServer, form->strPort);
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

bool ServerSession::sendHandled(const QByteArray &block)
{
    const QString lastLine = QString::fromLatin1(block.trimmed().split('\n').constLast()).trimmed();
    server->send(block);
    return QTest::qWaitFor([&] {
        return form->serverLog().isLoaded()
            && form->serverLog().txtRec->logText().contains(lastLine);
    });
}

QList<QByteArray> ServerSession::answerTo(const QByteArray &block)
{
    if (!sendHandled(block))
        return {"(the block was never handled)"};
    return answerSinceMark();
}

QList<QByteArray> ServerSession::answerTo(const QList<QByteArray> &reads)
{
    // Each read adds its time and its bytes to the server log.
    const auto logSize = [this] {
        return form->serverLog().isLoaded() ? form->serverLog().txtRec->logText().size() : 0;
    };
    for (const QByteArray &read : reads) {
        const qsizetype before = logSize();
        server->send(read);
        if (!QTest::qWaitFor([&] { return logSize() > before; }))
            return {"(a read was never handled)"};
    }
    return answerSinceMark();
}

QList<QByteArray> ServerSession::answerSinceMark()
{
    static const QByteArray sentinel = "TEST end of answer";
    // Lines arrive in the order they were sent, so the answer is in once a later line is.
    if (form->Ws->SendData(QString::fromLatin1(sentinel + "\r\n"))) {
        if (!server->waitForReceived(sentinel + "\r\n"))
            return {"(the sentinel never arrived)"};
    } else {
        // The program closed the connection; whatever it sent before has been flushed.
        server->waitForClientGone();
    }
    QList<QByteArray> answer = sentSinceMark();
    answer.removeAll(sentinel);
    return answer;
}
