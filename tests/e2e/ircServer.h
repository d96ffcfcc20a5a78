#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real IRC server on 127.0.0.1, for one test, with its own configuration and state folders;
// several can run side by side. ircd-irc2 is installed (scripts/ircd-sandbox.sh shows it our
// folders as /etc/ircd and /var/run/ircd); the other families run unpacked from the folder
// that scripts/need-other-ircds.sh fills.
class IrcServer
{
public:
    // IRCnet's; then those behind most other networks. The last two send a ping cookie before
    // the login and have no message of the day.
    enum class Family { Irc2, Ngircd, Inspircd, Hybrid };

    static QString name() { return QStringLiteral("irc.test.local"); }

    // pingSeconds: how long a client may stay quiet before the server pings it. port: a
    // fixed one, for a program that can only choose among its preset ports; else a free one.
    explicit IrcServer(int pingSeconds = 90, quint16 port = 0, Family family = Family::Irc2);
    ~IrcServer();
    IrcServer(const IrcServer &) = delete;
    IrcServer &operator=(const IrcServer &) = delete;

    // Before start(): a second port, for TLS, with this certificate (ngIRCd and InspIRCd); a
    // password every client must give (ngIRCd).
    void setTls(const QString &certificateFile, const QString &keyFile);
    void setPassword(const QByteArray &password) { m_password = password; }
    // Before start(), InspIRCd only: account services (Atheme) linked to the server, so that
    // clients log in to accounts by SASL; over TLS the server asks for a client certificate.
    void setAccounts(bool accounts) { m_accounts = accounts; }
    // Before start(): ZNC in front of the server, run from the folder that
    // scripts/need-other-ircds.sh fills. It logs in as Timer, joins the channel itself, and
    // takes a client as its user Timer with bouncerPassword().
    void setBouncer(const QByteArray &channel) { m_bouncerChannel = channel; }
    static QString bouncerPassword() { return QStringLiteral("Timer:secret"); }
    quint16 bouncerPort() const { return m_bouncerPort; }
    quint16 tlsPort() const { return m_tlsPort; }

    // Starts the server and waits until it takes connections; false with a reason otherwise.
    bool start();
    void stop();
    // With setAccounts(): the services go down, as in a network split, and come back (false
    // with a reason if they do not link again).
    void stopServices();
    bool startServices();

    quint16 port() const { return m_port; }
    QString portText() const { return QString::number(m_port); }
    QString failure() const { return m_failure; }

private:
    bool writeConfig();
    bool writeFile(const QString &name, const QByteArray &contents);
    QByteArray irc2Config() const;
    QByteArray ngircdConfig() const;
    QByteArray inspircdConfig() const;
    QByteArray hybridConfig() const;
    QByteArray servicesLinkConfig() const;
    QByteArray athemeConfig() const;
    QByteArray bouncerConfig() const;
    bool startBouncer();
    // Waits until the process takes connections on the port; false with a reason otherwise.
    bool waitUntilListening(QProcess &process, quint16 port, const QString &what);
    QString otherFamilyFolder(const char *package) const;
    QByteArray pathOf(const char *relative) const;

    int m_pingSeconds;
    Family m_family;
    QTemporaryDir m_dir;
    QProcess m_process;
    QProcess m_services;
    QProcess m_bouncer;
    QByteArray m_bouncerChannel;
    quint16 m_bouncerPort = 0;
    bool m_accounts = false;
    quint16 m_linkPort = 0;
    quint16 m_port = 0;
    quint16 m_tlsPort = 0;
    QString m_tlsCertificate;
    QString m_tlsKey;
    QByteArray m_password;
    QString m_failure;
};
