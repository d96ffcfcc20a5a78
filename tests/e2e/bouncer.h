#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// ZNC on 127.0.0.1 in front of a test server, for one test: it logs in to the server as Timer
// and joins the channel itself, and takes a client as its user Timer with the password
// "Timer:secret". Run from the folder that scripts/need-other-ircds.sh fills, never installed.
class Bouncer
{
public:
    Bouncer(quint16 serverPort, const QByteArray &channel);
    ~Bouncer();
    Bouncer(const Bouncer &) = delete;
    Bouncer &operator=(const Bouncer &) = delete;

    static QString password() { return QStringLiteral("Timer:secret"); }

    // Starts it and waits until it takes connections; false with a reason otherwise.
    bool start();
    quint16 port() const { return m_port; }
    QString failure() const { return m_failure; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_serverPort;
    QByteArray m_channel;
    quint16 m_port = 0;
    QString m_failure;
};
