#include "announcements.h"
#include "ircObserver.h"
#include "ircServer.h"
#include "namespaceRerun.h"
#include "testCertificates.h"
#include "wineDesktop.h"

#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QByteArray channel = "#Durmast_Test";

} // namespace

// The Windows program under Wine, used with keyboard and mouse as a person would, against the
// real server: the native error box, the login, and both kinds of run seen from the channel.
class tst_e2eWindowsProgram : public QObject
{
    Q_OBJECT

private slots:
    void announcesInCp932OnTime()
    {
        IrcServer server;
        QVERIFY2(server.start(), qPrintable(server.failure()));
        startWatchedProgram(server.port());
        if (QTest::currentTestFailed())
            return;

        // A host that no name service can resolve: the box, and the program lives on.
        connectThroughDialog(u"   "_s, server.port());
        if (QTest::currentTestFailed())
            return;
        const QString box = desktop.waitForWindow(u"IRCサーバに接続できません"_s, 30000);
        QVERIFY(!box.isEmpty());
        desktop.keys({u"Return"_s});
        QTRY_VERIFY_WITH_TIMEOUT(desktop.findWindow(u"IRCサーバに接続できません"_s).isEmpty(),
                                 10000);
        QVERIFY(desktop.programRunning());

        connectThroughDialog(u"127.0.0.1"_s, server.port());
        if (QTest::currentTestFailed())
            return;
        QVERIFY(observer.waitForLine(":Timer!~tmr103@", 30000));
        QVERIFY(observer.waitForLine("JOIN :" + channel, 30000));
        // The server holds back a client far ahead of its line budget; let the login drain.
        QTest::qWait(15000);

        // The last two lines of a countdown-only run outrun the server's flood control.
        runAndCompare(u"0"_s, countdownOnlyRun(), 3000);
        if (QTest::currentTestFailed())
            return;
        QTest::qWait(15000);

        runAndCompare(u"1"_s, oneMinuteRun(), 500);
    }

    // Through Windows' own TLS (Schannel, TLS 1.2 under Wine) to a server whose certificate
    // the test's CA signed, with that CA the only one the Wine prefix trusts: Wine reads the
    // system's certificate folder, replaced in a private mount namespace.
    void announcesOverTls()
    {
        TestCertificates certificates;
        IrcServer server(90, 0, IrcServer::Family::Ngircd);
        startOverTrustedTls(server, certificates);
        if (!namespaceRerun::isRerun() || QTest::currentTestFailed())
            return;
        // The port speaks nothing but TLS: a join through it is a join over TLS, with no box.
        connectThroughDialog(u"127.0.0.1"_s, server.tlsPort(), true);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(observer.waitForLine(":Timer!~tmr103@", 30000));
        QTest::qWait(10000);
        runAndCompare(u"0"_s, countdownOnlyRun(), 500);
    }

    // SASL EXTERNAL through Schannel, with the certificate file as the dialog takes it, to
    // InspIRCd with Atheme over TLS. Wine's Schannel cannot present a client certificate (its
    // CertFindChainInStore is a stub): the program says so in a box, logs nothing in, and lives
    // on.
    void aCertificateWineCannotPresentIsRefusedPlainly()
    {
        TestCertificates certificates;
        IrcServer server(90, 0, IrcServer::Family::Inspircd);
        server.setAccounts(true);
        startOverTrustedTls(server, certificates);
        if (!namespaceRerun::isRerun() || QTest::currentTestFailed())
            return;
        const QString certificateFile
            = certificates.clientCertificateFile(TestCertificates::Kind::OtherSelfSigned);
        QVERIFY(!certificateFile.isEmpty());
        connectThroughDialog(u"127.0.0.1"_s, server.tlsPort(), true, u"Z:"_s + certificateFile);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(!desktop.waitForWindow(u"IRCサーバに接続できません"_s, 30000).isEmpty());
        desktop.keys({u"Return"_s});
        QTRY_VERIFY_WITH_TIMEOUT(desktop.findWindow(u"IRCサーバに接続できません"_s).isEmpty(),
                                 10000);
        QVERIFY(desktop.programRunning());
        QVERIFY(!observer.hasLine(":Timer!"));
    }

private:
    // The server over TLS with a certificate the test's CA signed, and the program watched. The
    // test first reruns itself in a private mount namespace, where the CA is made the only one
    // trusted; outside it, nothing more is done.
    void startOverTrustedTls(IrcServer &server, TestCertificates &certificates)
    {
        if (!namespaceRerun::isRerun()) {
            const QString failure = namespaceRerun::rerun({u"-m"_s}, u"true"_s, 600000);
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            return;
        }
        QCOMPARE(certificates.make(), QString());
        QCOMPARE(QProcess::execute(u"sh"_s, {u"-c"_s, certificates.trustSetup()}), 0);
        server.setTls(certificates.certificateFile(TestCertificates::Kind::Trusted),
                      certificates.keyFile());
        QVERIFY2(server.start(), qPrintable(server.failure()));
        startWatchedProgram(server.port());
    }

    void startWatchedProgram(quint16 port)
    {
        QVERIFY(observer.logIn(port, "Observer"));
        QVERIFY(observer.join(channel));
        const QString failure = desktop.start();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        desktop.startProgram(QStringLiteral(KESTRION_WINDOWS_PROGRAM));
        // The first start also makes the Wine prefix.
        QVERIFY(!desktop.waitForWindow(u"ケストリオン"_s, 180000).isEmpty());
    }

    // サーバ → 接続 with F10 and the arrows; the dialog opens with the focus on 接続, and Tab
    // goes on to キャンセル, the nickname, the server, the port, the channel, the encoding (CP932,
    // as preset), the TLS box, the account, the password, the certificate and its 参照...
    // button, and from there back to 接続.
    void connectThroughDialog(const QString &host, quint16 port, bool tls = false,
                              const QString &certificateFile = {})
    {
        // A window just shown may not take keys yet on a busy machine: the menu is tried
        // again, closed first in case it was left open.
        bool opened = false;
        for (int attempt = 0; attempt < 3 && !opened; ++attempt) {
            QVERIFY(!desktop.waitForWindow(u"ケストリオン"_s, 10000).isEmpty());
            desktop.keys({u"Escape"_s, u"Escape"_s, u"F10"_s, u"Down"_s, u"Return"_s});
            opened = !desktop.waitForWindow(u"IRCサーバ接続"_s, 10000).isEmpty();
        }
        QVERIFY2(opened, qPrintable(u"shown instead: "_s + desktop.shownWindowNames()));
        desktop.keys({u"Tab"_s, u"Tab"_s, u"ctrl+a"_s});
        desktop.type(u"Timer"_s);
        desktop.keys({u"Tab"_s, u"ctrl+a"_s});
        desktop.type(host);
        desktop.keys({u"Tab"_s, u"ctrl+a"_s});
        desktop.type(QString::number(port));
        desktop.keys({u"Tab"_s, u"ctrl+a"_s});
        desktop.type(QString::fromLatin1(channel));
        desktop.keys({u"Tab"_s, u"Tab"_s});
        if (tls)
            desktop.keys({u"space"_s});
        desktop.keys({u"Tab"_s, u"Tab"_s, u"Tab"_s});
        if (!certificateFile.isEmpty())
            desktop.type(certificateFile);
        desktop.keys({u"Tab"_s, u"Tab"_s, u"space"_s});
    }

    // The chat box is the bottom strip of the compact window (measured from the window's own
    // corner: xdotool's screen position of a Wine window leaves out the frame); Tab goes on to
    // the start button and the minutes box.
    void startRun(const QString &minutes)
    {
        const QString window = desktop.waitForWindow(u"ケストリオン"_s, 10000);
        QVERIFY(!window.isEmpty());
        const QStringList geometry
            = desktop.xdotool({u"getwindowgeometry"_s, u"--shell"_s, window}).split(u'\n');
        QMap<QString, int> value;
        for (const QString &line : geometry)
            value[line.section(u'=', 0, 0)] = line.section(u'=', 1).toInt();
        desktop.xdotool({u"mousemove"_s, u"--window"_s, window, u"--sync"_s,
                         QString::number(value[u"WIDTH"_s] / 2),
                         QString::number(value[u"HEIGHT"_s] - 6), u"click"_s, u"1"_s});
        desktop.keys({u"Tab"_s, u"Tab"_s, u"ctrl+a"_s});
        desktop.type(minutes);
        desktop.keys({u"shift+Tab"_s, u"space"_s});
    }

    void runAndCompare(const QString &minutes, const QList<Announcement> &expected, int lateMs)
    {
        const qsizetype before = observer.saidBy("Timer").size();
        startRun(minutes);
        if (QTest::currentTestFailed())
            return;
        const int lastMs = expected.constLast().idealMs;
        QTRY_VERIFY_WITH_TIMEOUT(observer.saidBy("Timer").size() >= before + expected.size(),
                                 lastMs + lateMs + 15000);
        QTest::qWait(1500);

        // Counted from the run's first line: the key press reaches the program through Wine.
        const QList<IrcObserver::Said> said = observer.saidBy("Timer").mid(before);
        compareAnnouncements(said, expected, said.constFirst().arrivedMs, lateMs);
    }

    IrcObserver observer;
    WineDesktop desktop;
};

QTEST_MAIN(tst_e2eWindowsProgram)
#include "tst_e2eWindowsProgram.moc"
