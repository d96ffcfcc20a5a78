#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real ircd-irc2 on 127.0.0.1, for one test, with its own configuration and state folders
// (scripts/ircd-sandbox.sh shows them to the server as /etc/ircd and /var/run/ircd); several
// can run side by side.
class IrcServer
{
public:
    static QString name() { return QStringLiteral("irc.test.local"); }

    // pingSeconds: how long a client may stay quiet before the server pings it. port: a
    // fixed one, for a program that can only choose among its preset ports; else a free one.
    explicit IrcServer(int pingSeconds = 90, quint16 port = 0);
    ~IrcServer();
    IrcServer(const IrcServer &) = delete;
    IrcServer &operator=(const IrcServer &) = delete;

    // Starts the server and waits until it takes connections; false with a reason otherwise.
    bool start();
    void stop();

    quint16 port() const { return m_port; }
    QString portText() const { return QString::number(m_port); }
    QString failure() const { return m_failure; }

private:
    bool writeConfig();

    int m_pingSeconds;
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_failure;
};
