#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QTcpSocket>

// A second, plain IRC client in the channel: it sees what the program says there.
class IrcObserver
{
public:
    struct Line
    {
        QByteArray raw;
        qint64 arrivedMs;
    };
    struct Said
    {
        QByteArray command; // PRIVMSG or NOTICE
        QString text; // decoded from the channel's encoding
        qint64 arrivedMs; // on the same clock as clock()
    };

    IrcObserver();

    // Connects and registers; false when the server refused (the nickname, say).
    bool logIn(quint16 port, const QByteArray &nick);
    bool join(const QByteArray &channel);
    // The channel's encoding, by its ICU name; CP932 unless set.
    void setTextEncoding(const QByteArray &name) { m_textEncoding = name; }
    // Becomes an IRC operator (the test server's configuration allows it).
    bool becomeOperator();
    // Sends one raw line; CR LF is added.
    void send(const QByteArray &line) { m_socket.write(line + "\r\n"); }

    const QElapsedTimer &clock() const { return m_clock; }
    // The observer's own end of its connection, for a tap on the wire.
    quint16 localPort() const { return m_socket.localPort(); }
    QList<Line> lines() const { return m_lines; }
    bool hasLine(const QByteArray &needle) const;
    bool waitForLine(const QByteArray &needle, int timeoutMs = 10000);
    // The channel messages and notices that nick sent, in order of arrival.
    QList<Said> saidBy(const QByteArray &nick) const;

private:
    void readLines();

    QTcpSocket m_socket;
    QElapsedTimer m_clock;
    QByteArray m_pending;
    QByteArray m_textEncoding = "windows-31j";
    QList<Line> m_lines;
};
