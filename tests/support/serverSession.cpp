#include "serverSession.h"

#include "irc/socketControl.h"

#include <QTest>

using namespace Qt::StringLiterals;

const QByteArray ServerSession::greeting
    = ":irc.test 020 * :Please wait while we process your connection.\r\n";
const QByteArray ServerSession::endOfMotd = ":irc.test 376 Timer :End of MOTD command.\r\n";

ServerSession::ServerSession(Window window, const QString &channel)
    : server(std::make_unique<LoopbackServer>())
    , m_channel(channel)
{
    if (window == Window::With)
        form = std::make_unique<frmMain>();
    else
        bareSession = std::make_unique<IrcSession>();
    if (bareSession)
        barePacer = std::make_unique<ChannelPacer>(bareSession.get());
    const auto collect = [this](const QString &line) { statusLines << line; };
    QObject::connect(&session(), &IrcSession::statusLine, collect);
    QObject::connect(&pacer(), &ChannelPacer::statusLine, collect);
    QObject::connect(&session(), &IrcSession::dataReceived, [this](const QString &read) {
        m_read += read;
        ++m_reads;
    });
}

IrcSession &ServerSession::session() const
{
    return form ? form->session() : *bareSession;
}

ChannelPacer &ServerSession::pacer() const
{
    return form ? form->pacer() : *barePacer;
}

bool ServerSession::connect(const QString &account, const QString &password)
{
    ConnectionChoice choice;
    choice.account = account;
    choice.password = password;
    choice.encoding = encoding;
    choice.server = u"127.0.0.1"_s;
    choice.port = server->portText();
    choice.nick = u"Timer"_s;
    choice.channel = m_channel;
    session().connectTo(choice);
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
        || !QTest::qWaitFor([this] { return session().loggedIn(); }))
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
    return QTest::qWaitFor([&] { return m_read.contains(lastLine); });
}

QList<QByteArray> ServerSession::answerTo(const QByteArray &block)
{
    if (!sendHandled(block))
        return {"(the block was never handled)"};
    return answerSinceMark();
}

QList<QByteArray> ServerSession::answerTo(const QList<QByteArray> &reads)
{
    for (const QByteArray &read : reads) {
        const int before = m_reads;
        server->send(read);
        if (!QTest::qWaitFor([&] { return m_reads > before; }))
            return {"(a read was never handled)"};
    }
    return answerSinceMark();
}

QList<QByteArray> ServerSession::answerSinceMark()
{
    static const QByteArray sentinel = "TEST end of answer";
    // Lines arrive in the order they were sent, so the answer is in once a later line is.
    if (session().socket()->SendData(QString::fromLatin1(sentinel + "\r\n"))) {
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
