#include "bouncer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <unistd.h>

Bouncer::Bouncer(quint16 serverPort, const QByteArray &channel)
    : m_serverPort(serverPort)
    , m_channel(channel)
{
}

Bouncer::~Bouncer()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

bool Bouncer::start()
{
    QString program = QStringLiteral(KESTRION_OTHER_IRCDS "/znc/usr/bin/znc");
    if (!QFileInfo(program).isExecutable()) {
        m_failure = program + QStringLiteral(" is missing: run scripts/need-other-ircds.sh");
        return false;
    }
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    m_port = probe.serverPort();
    probe.close();
    const QByteArray config = "Version = 1.8.2\n"
                              "ConnectDelay = 1\n"
                              "<Listener clients>\n"
                              "    Host = 127.0.0.1\n    Port = "
        + QByteArray::number(m_port)
        + "\n    IPv4 = true\n    IPv6 = false\n    SSL = false\n"
          "    AllowIRC = true\n    AllowWeb = false\n"
          "</Listener>\n"
          "<User Timer>\n"
          "    Pass = plain#secret\n    Nick = Timer\n    AltNick = Timer_\n"
          "    Ident = tmr103\n    RealName = Kestrion\n"
          "    <Network test>\n"
          "        Server = 127.0.0.1 "
        + QByteArray::number(m_serverPort) + "\n        <Chan " + m_channel
        + ">\n        </Chan>\n"
          "    </Network>\n"
          "</User>\n";
    QFile file(m_dir.filePath(QStringLiteral("configs/znc.conf")));
    if (!m_dir.isValid() || !QDir(m_dir.path()).mkpath(QStringLiteral("configs"))
        || !file.open(QIODevice::WriteOnly) || file.write(config) != config.size()
        || !file.flush()) {
        m_failure = QStringLiteral("cannot write the bouncer's configuration");
        return false;
    }
    // Unpacked, it finds its modules only in its data folder; it loads none, but will not start
    // without one there.
    const QString module = m_dir.filePath(QStringLiteral("modules/autoreply.so"));
    if (!QDir(m_dir.path()).mkpath(QStringLiteral("modules"))
        || !QFile::copy(QStringLiteral(KESTRION_OTHER_IRCDS "/znc/usr/lib/znc/autoreply.so"),
                        module)) {
        m_failure = QStringLiteral("cannot give the bouncer a module");
        return false;
    }
    QStringList arguments {QStringLiteral("--foreground"), QStringLiteral("--datadir"),
                           m_dir.path()};
    // As root it waits half a minute before it starts: there it runs as nobody.
    if (::geteuid() == 0) {
        for (const QString &path : {m_dir.path(), m_dir.filePath(QStringLiteral("configs")),
                                    m_dir.filePath(QStringLiteral("configs/znc.conf")),
                                    m_dir.filePath(QStringLiteral("modules")), module}) {
            if (::chown(QFile::encodeName(path).constData(), 65534, 65534) != 0) {
                m_failure = QStringLiteral("cannot give the bouncer's folder to nobody");
                return false;
            }
        }
        arguments = QStringList {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                 QStringLiteral("--clear-groups"), program}
            + arguments;
        program = QStringLiteral("setpriv");
    }
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(program, arguments);
    const bool listening = m_process.waitForStarted()
        && QTest::qWaitFor(
                               [this] {
                                   if (m_process.state() != QProcess::Running)
                                       return true;
                                   QTcpSocket client;
                                   client.connectToHost(QHostAddress::LocalHost, m_port);
                                   return client.waitForConnected(200);
                               },
                               10000);
    if (!listening || m_process.state() != QProcess::Running) {
        m_failure = QStringLiteral("the bouncer did not come up: ")
            + QString::fromLocal8Bit(m_process.readAll());
        return false;
    }
    return true;
}
