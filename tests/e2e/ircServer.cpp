#include "ircServer.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

IrcServer::IrcServer(int pingSeconds, quint16 port)
    : m_pingSeconds(pingSeconds)
    , m_port(port)
{
}

IrcServer::~IrcServer()
{
    stop();
}

bool IrcServer::writeConfig()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, m_port)) {
        m_failure = QStringLiteral("port not free");
        return false;
    }
    m_port = probe.serverPort();
    probe.close();

    if (!QDir(m_dir.path()).mkpath(QStringLiteral("etc"))
        || !QDir(m_dir.path()).mkpath(QStringLiteral("run")))
        return false;
    QFile motd(m_dir.filePath(QStringLiteral("etc/ircd.motd")));
    if (!motd.open(QIODevice::WriteOnly) || motd.write("Kestrion test server\n") < 0)
        return false;
    QFile config(m_dir.filePath(QStringLiteral("etc/ircd.conf")));
    if (!config.open(QIODevice::WriteOnly))
        return false;
    // The class line's second field is the ping frequency in seconds.
    config.write("M%" + name().toLatin1()
                 + "%%Kestrion test server%%000A\n"
                   "A%Kestrion test server%Loopback only%Nobody%%TestNet\n"
                   "Y%1%"
                 + QByteArray::number(m_pingSeconds)
                 + "%%100%512000%5.5%100.100\n"
                   "I%*%%%0%1\n"
                   // The observer may become an IRC operator: password "observer", crypt(3).
                   "O%*@127.0.0.1%ksVxgt45lJRcA%Observer%%1%A%\n"
                   "P%127.0.0.1%%%"
                 + QByteArray::number(m_port) + "%\n");
    return config.flush();
}

bool IrcServer::start()
{
    if (!m_dir.isValid() || !writeConfig()) {
        if (m_failure.isEmpty())
            m_failure = QStringLiteral("cannot write the server configuration");
        return false;
    }
    const QStringList arguments {m_dir.filePath(QStringLiteral("etc")),
                                 m_dir.filePath(QStringLiteral("run"))};
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral(KESTRION_IRCD_SANDBOX), arguments);
    if (!m_process.waitForStarted()) {
        m_failure = QStringLiteral("the sandbox did not start: ") + m_process.errorString();
        return false;
    }
    const bool listening = QTest::qWaitFor(
        [this] {
            if (m_process.state() != QProcess::Running)
                return true;
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            return probe.waitForConnected(200);
        },
        10000);
    if (!listening || m_process.state() != QProcess::Running) {
        m_failure = QStringLiteral("ircd did not come up: ")
            + QString::fromLocal8Bit(m_process.readAll());
        return false;
    }
    return true;
}

void IrcServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}
