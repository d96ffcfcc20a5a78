#include "ircServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <unistd.h>

IrcServer::IrcServer(int pingSeconds, quint16 port, Family family)
    : m_pingSeconds(pingSeconds)
    , m_family(family)
    , m_port(port)
{
}

IrcServer::~IrcServer()
{
    stop();
}

void IrcServer::setTls(const QString &certificateFile, const QString &keyFile)
{
    m_tlsCertificate = certificateFile;
    m_tlsKey = keyFile;
}

bool IrcServer::writeFile(const QString &name, const QByteArray &contents)
{
    QFile file(m_dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size()
        && file.flush();
}

QByteArray IrcServer::irc2Config() const
{
    // The class line's second field is the ping frequency in seconds.
    return "M%" + name().toLatin1()
        + "%%Kestrion test server%%000A\n"
          "A%Kestrion test server%Loopback only%Nobody%%TestNet\n"
          "Y%1%"
        + QByteArray::number(m_pingSeconds)
        + "%%100%512000%5.5%100.100\n"
          "I%*%%%0%1\n"
          // The observer may become an IRC operator: password "observer", crypt(3).
          "O%*@127.0.0.1%ksVxgt45lJRcA%Observer%%1%A%\n"
          "P%127.0.0.1%%%"
        + QByteArray::number(m_port) + "%\n";
}

QByteArray IrcServer::ngircdConfig() const
{
    QByteArray config = "[Global]\nName = " + name().toLatin1()
        + "\nInfo = Kestrion test server\nListen = 127.0.0.1\nPorts = " + QByteArray::number(m_port)
        + "\nMotdFile = " + pathOf("etc/ircd.motd") + "\nPidFile = " + pathOf("run/ngircd.pid");
    if (!m_password.isEmpty())
        config += "\nPassword = " + m_password;
    config += "\n[Limits]\nPingTimeout = " + QByteArray::number(m_pingSeconds) + "\nPongTimeout = "
        + QByteArray::number(m_pingSeconds)
        // No look-ups beyond loopback.
        + "\n[Options]\nPAM = no\nIdent = no\nDNS = no\n";
    if (!m_tlsCertificate.isEmpty())
        config += "[SSL]\nCertFile = " + m_tlsCertificate.toUtf8() + "\nKeyFile = "
            + m_tlsKey.toUtf8() + "\nPorts = " + QByteArray::number(m_tlsPort) + "\n";
    return config;
}

QByteArray IrcServer::inspircdConfig() const
{
    const QByteArray ping = QByteArray::number(m_pingSeconds);
    QByteArray config = "<server name=\"" + name().toLatin1()
        + "\" description=\"Kestrion test server\" network=\"TestNet\">\n"
          "<admin name=\"Nobody\" nick=\"Nobody\" email=\"nobody@localhost\">\n"
          "<bind address=\"127.0.0.1\" port=\""
        + QByteArray::number(m_port)
        + "\" type=\"clients\">\n"
          "<connect allow=\"127.0.0.1\" resolvehostnames=\"no\" localmax=\"100\" "
          "globalmax=\"100\" pingfreq=\""
        + ping + "\" timeout=\"" + ping + "\">\n<path configdir=\"" + pathOf("etc")
        + "\" datadir=\"" + pathOf("run") + "\" logdir=\"" + pathOf("run") + "\" moduledir=\""
        + otherFamilyFolder("inspircd").toUtf8()
        + "/usr/lib/inspircd/modules\">\n"
          "<dns server=\"127.0.0.1\" timeout=\"1\">\n"
          "<module name=\"conn_waitpong\">\n"
          // A client that asks sees its own lines come back, stamped with the server's time.
          "<module name=\"cap\">\n<module name=\"ircv3\">\n"
          "<module name=\"ircv3_echomessage\">\n<module name=\"ircv3_servertime\">\n"
          // Capabilities withdrawn or offered later are told to the clients; the observer may
          // withdraw one by unloading its module, or end a client's connection.
          "<module name=\"ircv3_capnotify\">\n"
          "<class name=\"Modules\" commands=\"LOADMODULE UNLOADMODULE KILL\">\n"
          "<type name=\"Admin\" classes=\"Modules\">\n"
          "<oper name=\"Observer\" password=\"observer\" host=\"*@*\" type=\"Admin\">\n"
          "<waitpong sendsnotice=\"no\" killonbadreply=\"yes\">\n";
    if (!m_tlsCertificate.isEmpty())
        config += "<module name=\"ssl_gnutls\">\n<sslprofile name=\"tls\" provider=\"gnutls\" "
                  "certfile=\""
            + m_tlsCertificate.toUtf8() + "\" keyfile=\"" + m_tlsKey.toUtf8()
            + "\" hash=\"sha256\" requestclientcert=\"" + (m_accounts ? "yes" : "no")
            + "\">\n<bind address=\"127.0.0.1\" port=\"" + QByteArray::number(m_tlsPort)
            + "\" type=\"clients\" sslprofile=\"tls\">\n";
    if (m_accounts)
        config += servicesLinkConfig();
    return config;
}

QByteArray IrcServer::servicesLinkConfig() const
{
    const QByteArray port = QByteArray::number(m_linkPort);
    return "<module name=\"spanningtree\">\n<module name=\"services_account\">\n"
           "<module name=\"sasl\">\n<module name=\"sslinfo\">\n"
           "<bind address=\"127.0.0.1\" port=\""
        + port
        + "\" type=\"servers\">\n"
          "<link name=\"services.test.local\" ipaddr=\"127.0.0.1\" port=\""
        + port
        + "\" allowmask=\"127.0.0.1/32\" sendpass=\"link\" recvpass=\"link\">\n"
          "<uline server=\"services.test.local\" silent=\"yes\">\n"
          "<sasl target=\"services.test.local\">\n";
}

QByteArray IrcServer::athemeConfig() const
{
    // Modules load from the unpacked package, each after those it needs: Atheme would look
    // for a module's dependencies where an installed package keeps them.
    QByteArray config;
    for (const char *module :
         {"transport/rfc1459", "backend/corestorage", "protocol/base36uid", "protocol/inspircd",
          "backend/opensex", "crypto/pbkdf2v2", "nickserv/main", "nickserv/register",
          "nickserv/identify", "nickserv/cert", "nickserv/set_core", "nickserv/set_password",
          "saslserv/main", "saslserv/plain", "saslserv/external"})
        config += "loadmodule \"" + otherFamilyFolder("atheme-services").toUtf8()
            + "/usr/lib/x86_64-linux-gnu/atheme/modules/" + module + "\";\n";
    return config
        + "serverinfo { name = \"services.test.local\"; desc = \"Kestrion test services\"; "
          "numeric = \"00A\"; recontime = 1; netname = \"TestNet\"; hidehostsuffix = \"test\"; "
          "adminname = \"Nobody\"; adminemail = \"nobody@localhost\"; };\nuplink \""
        + name().toLatin1()
        + "\" { host = \"127.0.0.1\"; password = \"link\"; port = " + QByteArray::number(m_linkPort)
        + "; };\nnickserv { };\nsaslserv { };\ndatabase { opensex; };\n";
}

QByteArray IrcServer::bouncerConfig() const
{
    return "Version = 1.8.2\nConnectDelay = 1\n<Listener clients>\nHost = 127.0.0.1\nPort = "
        + QByteArray::number(m_bouncerPort)
        + "\nIPv4 = true\nIPv6 = false\nSSL = false\n</Listener>\n<User Timer>\n"
          "Pass = plain#secret\nNick = Timer\nAltNick = Timer_\nIdent = tmr103\n"
          "<Network test>\nServer = 127.0.0.1 "
        + QByteArray::number(m_port) + "\n<Chan " + m_bouncerChannel
        + ">\n</Chan>\n</Network>\n</User>\n";
}

bool IrcServer::startServices()
{
    const QString folder = otherFamilyFolder("atheme-services");
    const QString run = m_dir.filePath(QStringLiteral("run"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_LIBRARY_PATH"),
                       folder + QStringLiteral("/usr/lib/x86_64-linux-gnu"));
    m_services.setProcessEnvironment(environment);
    m_services.setProcessChannelMode(QProcess::MergedChannels);
    m_services.start(folder + QStringLiteral("/usr/bin/atheme-services"),
                     {QStringLiteral("-n"), QStringLiteral("-c"),
                      m_dir.filePath(QStringLiteral("etc/atheme.conf")), QStringLiteral("-D"), run,
                      QStringLiteral("-l"), run + QStringLiteral("/atheme.log"),
                      QStringLiteral("-p"), run + QStringLiteral("/atheme.pid")});
    QByteArray said;
    const bool linked = m_services.waitForStarted()
        && QTest::qWaitFor(
                            [&] {
                                said += m_services.readAll();
                                return said.contains("finished synching with uplink")
                                    || m_services.state() != QProcess::Running;
                            },
                            15000)
        && m_services.state() == QProcess::Running;
    if (!linked)
        m_failure = QStringLiteral("the services did not link: ") + QString::fromLocal8Bit(said);
    return linked;
}

QByteArray IrcServer::hybridConfig() const
{
    return "serverinfo { name = \"" + name().toLatin1()
        + "\"; description = \"Kestrion test server\"; hub = no; };\n"
          "admin { name = \"Nobody\"; description = \"Nobody\"; email = \"<nobody@localhost>\"; "
          "};\n"
          "class { name = \"users\"; ping_time = "
        + QByteArray::number(m_pingSeconds)
        + " seconds; number_per_ip_local = 100; max_number = 100; sendq = 100 kbytes; };\n"
          "listen { host = \"127.0.0.1\"; port = "
        + QByteArray::number(m_port)
        + "; };\n"
          "auth { user = \"*@127.0.0.1\"; class = \"users\"; };\n"
          "general { ping_cookie = yes; disable_auth = yes; throttle_time = 0; };\n";
}

QByteArray IrcServer::pathOf(const char *relative) const
{
    return m_dir.filePath(QString::fromLatin1(relative)).toUtf8();
}

QString IrcServer::otherFamilyFolder(const char *package) const
{
    return QStringLiteral(KESTRION_OTHER_IRCDS "/") + QLatin1String(package);
}

bool IrcServer::writeConfig()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, m_port)) {
        m_failure = QStringLiteral("port not free");
        return false;
    }
    m_port = probe.serverPort();
    if (m_accounts && m_linkPort == 0) {
        QTcpServer linkProbe;
        linkProbe.listen(QHostAddress::LocalHost);
        m_linkPort = linkProbe.serverPort();
    }
    // A restart keeps its ports.
    if (!m_tlsCertificate.isEmpty() && m_tlsPort == 0) {
        QTcpServer tlsProbe;
        tlsProbe.listen(QHostAddress::LocalHost);
        m_tlsPort = tlsProbe.serverPort();
    }
    if (!m_bouncerChannel.isEmpty() && m_bouncerPort == 0) {
        QTcpServer bouncerProbe;
        bouncerProbe.listen(QHostAddress::LocalHost);
        m_bouncerPort = bouncerProbe.serverPort();
    }
    probe.close();

    if (!QDir(m_dir.path()).mkpath(QStringLiteral("etc"))
        || !QDir(m_dir.path()).mkpath(QStringLiteral("run")))
        return false;
    if (!m_bouncerChannel.isEmpty()
        && (!QDir(m_dir.path()).mkpath(QStringLiteral("znc/configs"))
            || !QDir(m_dir.path()).mkpath(QStringLiteral("znc/modules"))
            || !writeFile(QStringLiteral("znc/configs/znc.conf"), bouncerConfig())))
        return false;
    switch (m_family) {
    case Family::Irc2:
        return writeFile(QStringLiteral("etc/ircd.motd"), "Kestrion test server\n")
            && writeFile(QStringLiteral("etc/ircd.conf"), irc2Config());
    case Family::Ngircd:
        return writeFile(QStringLiteral("etc/ircd.motd"), "Kestrion test server\n")
            && writeFile(QStringLiteral("etc/ngircd.conf"), ngircdConfig());
    case Family::Inspircd:
        return writeFile(QStringLiteral("etc/inspircd.conf"), inspircdConfig())
            && (!m_accounts || writeFile(QStringLiteral("etc/atheme.conf"), athemeConfig()));
    case Family::Hybrid:
        return writeFile(QStringLiteral("etc/ircd.conf"), hybridConfig());
    }
    return false;
}

bool IrcServer::start()
{
    if (!m_dir.isValid() || !writeConfig()) {
        if (m_failure.isEmpty())
            m_failure = QStringLiteral("cannot write the server configuration");
        return false;
    }
    const QString etc = m_dir.filePath(QStringLiteral("etc"));
    QString program = QStringLiteral(KESTRION_IRCD_SANDBOX);
    QStringList arguments {etc, m_dir.filePath(QStringLiteral("run"))};
    switch (m_family) {
    case Family::Irc2:
        break;
    case Family::Ngircd:
        program = otherFamilyFolder("ngircd") + QStringLiteral("/usr/sbin/ngircd");
        arguments = QStringList {QStringLiteral("-n"), QStringLiteral("-f"),
                                 etc + QStringLiteral("/ngircd.conf")};
        break;
    case Family::Inspircd:
        program = otherFamilyFolder("inspircd") + QStringLiteral("/usr/sbin/inspircd");
        arguments = QStringList {QStringLiteral("--config"), etc + QStringLiteral("/inspircd.conf"),
                                 QStringLiteral("--nofork"), QStringLiteral("--nopid"),
                                 QStringLiteral("--runasroot")};
        break;
    case Family::Hybrid:
        program = QStringLiteral(KESTRION_HYBRID_SANDBOX);
        arguments = QStringList {otherFamilyFolder("ircd-hybrid"), etc};
        break;
    }
    if (!QFileInfo(program).isExecutable()) {
        m_failure = program + QStringLiteral(" is missing: run scripts/need-other-ircds.sh");
        return false;
    }
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(program, arguments);
    if (!m_process.waitForStarted()) {
        m_failure = QStringLiteral("the server did not start: ") + m_process.errorString();
        return false;
    }
    if (!waitUntilListening(m_process, m_port, QStringLiteral("the server")))
        return false;
    return (!m_accounts || startServices()) && (m_bouncerChannel.isEmpty() || startBouncer());
}

bool IrcServer::waitUntilListening(QProcess &process, quint16 port, const QString &what)
{
    const bool listening = QTest::qWaitFor(
        [&] {
            if (process.state() != QProcess::Running)
                return true;
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            return probe.waitForConnected(200);
        },
        10000);
    if (listening && process.state() == QProcess::Running)
        return true;
    m_failure
        = what + QStringLiteral(" did not come up: ") + QString::fromLocal8Bit(process.readAll());
    return false;
}

bool IrcServer::startBouncer()
{
    // Unpacked, it finds its modules only in its data folder; it loads none, but will not
    // start without one there.
    const QString data = m_dir.filePath(QStringLiteral("znc"));
    const QString module = data + QStringLiteral("/modules/autoreply.so");
    if (!QFile::copy(otherFamilyFolder("znc") + QStringLiteral("/usr/lib/znc/autoreply.so"),
                     module)) {
        m_failure = QStringLiteral("cannot give the bouncer a module");
        return false;
    }
    QString program = otherFamilyFolder("znc") + QStringLiteral("/usr/bin/znc");
    QStringList arguments {QStringLiteral("--foreground"), QStringLiteral("--datadir"), data};
    // As root it waits half a minute before it starts: there it runs as nobody, who may pass
    // through the server's folder to its own.
    if (::geteuid() == 0) {
        QFile::setPermissions(m_dir.path(), QFile::permissions(m_dir.path()) | QFile::ExeOther);
        for (const QString &path :
             {data, data + QStringLiteral("/configs"), data + QStringLiteral("/configs/znc.conf"),
              data + QStringLiteral("/modules"), module}) {
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
    m_bouncer.setProcessChannelMode(QProcess::MergedChannels);
    m_bouncer.start(program, arguments);
    return m_bouncer.waitForStarted()
        && waitUntilListening(m_bouncer, m_bouncerPort, QStringLiteral("the bouncer"));
}

void IrcServer::stopServices()
{
    // Asked to end, the services save their accounts first.
    m_services.terminate();
    if (!m_services.waitForFinished(10000)) {
        m_services.kill();
        m_services.waitForFinished(5000);
    }
}

void IrcServer::stop()
{
    for (QProcess *helper : {&m_bouncer, &m_services}) {
        if (helper->state() != QProcess::NotRunning) {
            helper->kill();
            helper->waitForFinished(5000);
        }
    }
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}
