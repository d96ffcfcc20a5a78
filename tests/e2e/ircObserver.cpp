#include "ircObserver.h"

#include <QStringDecoder>
#include <QTest>

IrcObserver::IrcObserver()
{
    m_clock.start();
    QObject::connect(&m_socket, &QTcpSocket::readyRead, &m_socket, [this] { readLines(); });
}

void IrcObserver::readLines()
{
    m_pending += m_socket.readAll();
    qsizetype end;
    while ((end = m_pending.indexOf("\r\n")) >= 0) {
        const QByteArray line = m_pending.left(end);
        m_pending.remove(0, end + 2);
        m_lines.append({line, m_clock.elapsed()});
        if (line.startsWith("PING "))
            m_socket.write("PONG " + line.mid(5) + "\r\n");
    }
}

bool IrcObserver::logIn(quint16 port, const QByteArray &nick)
{
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    if (!m_socket.waitForConnected(5000))
        return false;
    m_socket.write("NICK " + nick + "\r\nUSER observer 0 * :Observer\r\n");
    if (!QTest::qWaitFor(
            [this] { return hasLine(" 376 ") || hasLine(" 422 ") || hasLine(" 433 "); }, 10000))
        return false;
    return !hasLine(" 433 ");
}

bool IrcObserver::join(const QByteArray &channel)
{
    m_socket.write("JOIN " + channel + "\r\n");
    return waitForLine(" 366 ");
}

bool IrcObserver::becomeOperator()
{
    m_socket.write("OPER Observer observer\r\n");
    return waitForLine(" 381 ");
}

bool IrcObserver::hasLine(const QByteArray &needle) const
{
    for (const Line &line : m_lines) {
        if (line.raw.contains(needle))
            return true;
    }
    return false;
}

bool IrcObserver::waitForLine(const QByteArray &needle, int timeoutMs)
{
    return QTest::qWaitFor([&] { return hasLine(needle); }, timeoutMs);
}

QList<IrcObserver::Said> IrcObserver::saidBy(const QByteArray &nick) const
{
    QList<Said> said;
    for (const Line &line : m_lines) {
        if (!line.raw.startsWith(":" + nick + "!"))
            continue;
        const QList<QByteArray> words = line.raw.split(' ');
        if (words.size() < 3 || (words[1] != "PRIVMSG" && words[1] != "NOTICE"))
            continue;
        const qsizetype textStart = line.raw.indexOf(" :", line.raw.indexOf(words[2]));
        // ICU's own decoders, independent of the program's.
        QStringDecoder decoder(m_textEncoding.constData());
        said.append({words[1], decoder.decode(line.raw.mid(textStart + 2)), line.arrivedMs});
    }
    return said;
}
