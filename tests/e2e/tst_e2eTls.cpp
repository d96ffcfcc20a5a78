#include "announcements.h"
#include "app/frmConnect.h"
#include "app/frmMain.h"
#include "app/frmServerLog.h"
#include "app/logView.h"
#include "formHelpers.h"
#include "irc/ircSession.h"
#include "irc/socketControl.h"
#include "namespaceRerun.h"
#include "programSession.h"
#include "terminationRecorder.h"
#include "testCertificates.h"
#include "timer/measurementRun.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString channel = u"#Durmast_Test"_s;
using Kind = TestCertificates::Kind;
using Family = IrcServer::Family;

} // namespace

Q_DECLARE_METATYPE(TestCertificates::Kind)
Q_DECLARE_METATYPE(IrcServer::Family)

// The program over TLS to a real ngIRCd whose certificates the test makes, with the test's CA
// trusted only inside a private mount namespace.
class tst_e2eTls : public QObject
{
    Q_OBJECT

private slots:
    void certificatesAreCheckedOrAskedAbout_data()
    {
        QTest::addColumn<Family>("family");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("reason");
        QTest::newRow("trusted") << Family::Ngircd << Kind::Trusted << 0 << QString();
        QTest::newRow("another name, yes")
            << Family::Ngircd << Kind::OtherName << int(platform::IDYES)
            << u"証明書の名前がサーバ名と一致しません"_s;
        QTest::newRow("expired, no") << Family::Ngircd << Kind::Expired << int(platform::IDNO)
                                     << u"証明書の有効期限が切れています"_s;
        QTest::newRow("self-signed, no") << Family::Ngircd << Kind::SelfSigned
                                         << int(platform::IDNO) << u"自己署名の証明書です"_s;
        QTest::newRow("InspIRCd, trusted") << Family::Inspircd << Kind::Trusted << 0 << QString();
        QTest::newRow("InspIRCd, self-signed, yes")
            << Family::Inspircd << Kind::SelfSigned << int(platform::IDYES)
            << u"自己署名の証明書です"_s;
    }
    void certificatesAreCheckedOrAskedAbout()
    {
        if (!inPrivateTrust())
            return;
        QFETCH(Family, family);
        QFETCH(Kind, kind);
        QFETCH(int, answer);
        QFETCH(QString, reason);
        QVERIFY(startServer(kind, family));
        if (answer)
            session->boxes.answers.enqueue(answer);
        connectWithTls();
        if (answer == platform::IDNO) {
            QTRY_VERIFY_WITH_TIMEOUT(!statusEntries(session->form)
                                          .filter(u"[-] 127.0.0.1に接続できません: "_s)
                                          .isEmpty(),
                                     10000);
            QVERIFY(!session->form.session().loggedIn());
            QVERIFY(controls(session->form).mnuConnect->isEnabled());
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(session->form.session().loggedIn(), 15000);
            QVERIFY(statusEntries(session->form).filter(u"で暗号化しました"_s).size() == 1);
        }
        QCOMPARE(session->boxes.boxes.size(), answer ? 1 : 0);
        if (answer) {
            QVERIFY(session->boxes.boxes[0].prompt.contains(reason));
            QCOMPARE(session->boxes.boxes[0].style, platform::MB_WARY_QUESTION);
        }
        if (kind != Kind::Trusted)
            return;
        // A countdown over TLS reaches the channel as over plain text.
        // Like the other servers, ngIRCd holds back a client that has just sent its login.
        QTest::qWait(10000);
        controls(session->form).cboMinutes->setEditText(u"0"_s);
        const qint64 clickMs = session->observer.clock().elapsed();
        session->form.cmdCount_Click();
        QTRY_COMPARE_WITH_TIMEOUT(session->observer.saidBy("Timer").size(),
                                  countdownOnlyRun().size(), 20000);
        compareAnnouncements(session->observer.saidBy("Timer"), countdownOnlyRun(), clickMs, 500);
    }

    void trustHoldsForTheServerButNotForAnotherCertificate()
    {
        if (!inPrivateTrust())
            return;
        QVERIFY(startServer(Kind::SelfSigned));
        session->form.session().setSecondMs(200);
        session->boxes.answers.enqueue(platform::IDYES);
        connectWithTls();
        QTRY_VERIFY_WITH_TIMEOUT(session->form.session().loggedIn(), 15000);
        // The same certificate again: a reconnection passes without a word.
        session->server.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!session->form.session().loggedIn(), 5000);
        QVERIFY2(session->server.start(), qPrintable(session->server.failure()));
        QTRY_VERIFY_WITH_TIMEOUT(session->form.session().loggedIn(), 15000);
        QCOMPARE(session->boxes.boxes.size(), 1);
        // Another one: the attempt fails, and nobody is asked.
        session->server.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!session->form.session().loggedIn(), 5000);
        session->server.setTls(certificates.certificateFile(Kind::OtherSelfSigned),
                               certificates.keyFile());
        QVERIFY2(session->server.start(), qPrintable(session->server.failure()));
        QTRY_VERIFY_WITH_TIMEOUT(!statusEntries(session->form)
                                      .filter(u"サーバの証明書を確認できませんでした"_s)
                                      .isEmpty(),
                                 15000);
        QVERIFY(session->form.session().isReconnecting());
        QCOMPARE(session->boxes.boxes.size(), 1);
    }

    void passwordLogsInAndIsShownNowhere_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("logsIn");
        QTest::newRow("right") << u"open sesame"_s << true;
        QTest::newRow("wrong") << u"closed"_s << false;
    }
    void passwordLogsInAndIsShownNowhere()
    {
        if (!inPrivateTrust())
            return;
        QFETCH(QString, password);
        QFETCH(bool, logsIn);
        session = std::make_unique<ChannelSession>(IrcServer::Family::Ngircd);
        session->server.setTls(certificates.certificateFile(Kind::Trusted), certificates.keyFile());
        session->server.setPassword("open sesame");
        QVERIFY2(session->server.start(), qPrintable(session->server.failure()));
        frmMain &form = session->form;
        connectControls(form.connectDialog()).txtPassword->setText(password);
        connectWithTls();
        if (logsIn) {
            QTRY_VERIFY_WITH_TIMEOUT(form.session().loggedIn(), 15000);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(!statusEntries(form).filter(u"[x] "_s).isEmpty(), 15000);
            QVERIFY(!form.session().loggedIn());
        }
        for (const QString &log :
             {controls(form).txtStatus->logText(), form.serverLog().txtRec->logText()})
            QVERIFY(!log.contains(password));
    }

    // Neither side understands the other: the program says so within the handshake's deadline,
    // and lives on, offline.
    void mismatchedPortsFailCleanly_data()
    {
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QString>("line");
        QTest::newRow("TLS to a plain port")
            << true
            << u"[-] 127.0.0.1に接続できません: TLSのハンドシェイクが30秒以内に終わりませんでした"_s;
        QTest::newRow("plain text to a TLS port")
            << false << u"[x] サーバはTLSで応答しました: 「TLSを使う」を選んでください"_s;
    }
    void mismatchedPortsFailCleanly()
    {
        if (!inPrivateTrust())
            return;
        QFETCH(bool, tls);
        QFETCH(QString, line);
        QVERIFY(startServer(Kind::Trusted));
        session->form.show();
        connectControls(session->form.connectDialog()).chkTls->setChecked(tls);
        const quint16 port = tls ? session->server.port() : session->server.tlsPort();
        connectThroughDialog(session->form, QString::number(port), u"Timer"_s, channel);
        QTRY_VERIFY_WITH_TIMEOUT(statusEntries(session->form).contains(line),
                                 (SocketControl::handshakeSeconds + 5) * 1000);
        QTRY_VERIFY(controls(session->form).mnuConnect->isEnabled());
        QVERIFY(!session->form.session().loggedIn());
        QVERIFY(termination.exitCodes.isEmpty());
    }

    void cleanup() { session.reset(); }

private:
    // The test goes on in a child process with the test CA as the only trusted one.
    bool inPrivateTrust()
    {
        if (!namespaceRerun::isRerun()) {
            const QString failure = namespaceRerun::rerun({u"-m"_s}, u"true"_s);
            if (!failure.isEmpty())
                QTest::qFail(qPrintable(failure), __FILE__, __LINE__);
            return false;
        }
        const QString made = certificates.make();
        if (!made.isEmpty()) {
            QTest::qFail(qPrintable(made), __FILE__, __LINE__);
            return false;
        }
        if (QProcess::execute(u"sh"_s, {u"-c"_s, certificates.trustSetup()}) != 0) {
            QTest::qFail("cannot trust the test CA", __FILE__, __LINE__);
            return false;
        }
        return true;
    }

    bool startServer(Kind kind, Family family = Family::Ngircd)
    {
        session = std::make_unique<ChannelSession>(family);
        session->server.setTls(certificates.certificateFile(kind), certificates.keyFile());
        return session->server.start()
            && session->observer.logIn(session->server.port(), "Observer")
            && session->observer.join(channel.toLatin1());
    }

    void connectWithTls()
    {
        session->form.show();
        connectControls(session->form.connectDialog()).chkTls->setChecked(true);
        connectThroughDialog(session->form, QString::number(session->server.tlsPort()), u"Timer"_s,
                             channel);
    }

    TestCertificates certificates;
    TerminationRecorder termination;
    std::unique_ptr<ChannelSession> session;
};

QTEST_MAIN(tst_e2eTls)
#include "tst_e2eTls.moc"
