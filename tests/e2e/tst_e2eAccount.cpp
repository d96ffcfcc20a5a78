#include "announcements.h"
#include "app/frmServerLog.h"
#include "app/logView.h"
#include "formHelpers.h"
#include "programSession.h"
#include "testCertificates.h"

#include <QCheckBox>

using namespace Qt::StringLiterals;

namespace {

const QString channel = u"#Durmast_Test"_s;
const QString password = u"kestrel-secret"_s;
const QString loggedIn = u"[+] アカウントObserverでログインしました"_s;

} // namespace

// Account logins by SASL on a real InspIRCd with Atheme's services linked to it; the account
// is the observer's, registered through NickServ by the test.
class tst_e2eAccount : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY2(certificates.make().isEmpty(), "openssl failed");
        session = std::make_unique<ChannelSession>(IrcServer::Family::Inspircd);
        session->server.setAccounts(true);
        session->server.setTls(certificates.certificateFile(TestCertificates::Kind::SelfSigned),
                               certificates.keyFile());
        QVERIFY2(session->server.start(), qPrintable(session->server.failure()));
        QVERIFY(session->observer.logIn(session->server.port(), "Observer"));
        QVERIFY(session->observer.join(channel.toLatin1()));
        session->observer.send("PRIVMSG NickServ :REGISTER " + password.toLatin1() + " o@x.test");
        QVERIFY(session->observer.waitForLine("is now registered"));
    }
    void cleanup() { session.reset(); }

    // PLAIN over TLS or, once the user has agreed, in plain text, and EXTERNAL with a
    // certificate added to the account: logged in, and a run reaches the channel. A wrong
    // password ends the connection with its reason and a box. No password in either log.
    void accountLogsInOrIsRefused_data()
    {
        QTest::addColumn<bool>("tls");
        QTest::addColumn<bool>("certificate");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("status");
        QTest::newRow("PLAIN, TLS") << true << false << password << loggedIn;
        QTest::newRow("PLAIN, plain text") << false << false << password << loggedIn;
        QTest::newRow("EXTERNAL") << true << true << QString() << loggedIn;
        QTest::newRow("wrong password")
            << true << false << u"wrong-secret"_s
            << u"[x] アカウントのログインが拒まれました: アカウント名かパスワードが違います"_s;
    }
    void accountLogsInOrIsRefused()
    {
        QFETCH(bool, tls);
        QFETCH(bool, certificate);
        QFETCH(QString, typed);
        QFETCH(QString, status);
        frmMain &form = session->form;
        if (certificate)
            connectControls(form.connectDialog()).txtCertificate->setText(clientCertificateFile());
        else
            connectControls(form.connectDialog()).txtAccount->setText(u"Observer"_s);
        connectControls(form.connectDialog()).txtPassword->setText(typed);
        connectAs(tls, tls ? session->server.tlsPort() : session->server.port());
        QTRY_VERIFY2_WITH_TIMEOUT(statusEntries(form).contains(status),
                                  qPrintable(statusEntries(form).join(u"\n"_s)), 15000);
        const QList<platform::MessageBoxRequest> &boxes = session->boxes.boxes;
        QVERIFY(boxes.constFirst().prompt.contains(tls ? u"証明書"_s : u"暗号化されずに"_s));
        if (status == loggedIn) {
            QTRY_VERIFY_WITH_TIMEOUT(form.session().loggedIn(), 15000);
            controls(form).cboMinutes->setEditText(u"0"_s);
            form.cmdCount_Click();
            QTRY_VERIFY_WITH_TIMEOUT(
                session->observer.saidBy("Timer").size() == countdownOnlyRun().size(), 40000);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(!form.session().isConnected(), 15000);
            QTest::qWait(3000);
            QVERIFY(!form.session().loggedIn() && !form.session().isReconnecting());
            QCOMPARE(boxes.constLast().title, u"IRCサーバにログインできません"_s);
        }
        for (const QString &log :
             {controls(form).txtStatus->logText(), form.serverLog().txtRec->logText()})
            QVERIFY(typed.isEmpty() || !log.contains(typed));
    }

    // The services go down during a run and the server cuts the program off: the reconnection
    // logs in without the account and the run reaches the channel whole; once the services are
    // back, the next reconnection logs in with the account again.
    void aServicesOutageCostsTheRunNothing()
    {
        frmMain &form = session->form;
        connectControls(form.connectDialog()).txtAccount->setText(u"Observer"_s);
        connectControls(form.connectDialog()).txtPassword->setText(password);
        connectAs(true, session->server.tlsPort());
        QTRY_VERIFY_WITH_TIMEOUT(form.session().loggedIn(), 15000);
        QVERIFY(session->observer.becomeOperator());
        controls(form).cboMinutes->setEditText(u"1"_s);
        form.cmdCount_Click();
        // Up to 開始！＠.
        QTRY_VERIFY_WITH_TIMEOUT(session->observer.saidBy("Timer").size() == 9, 30000);

        session->server.stopServices();
        session->observer.send("KILL Timer :services down");
        QTRY_VERIFY_WITH_TIMEOUT(
            statusEntries(form).filter(u"アカウントを使わずにログインします"_s).size() == 1, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(form.session().loggedIn(), 15000);

        QVERIFY2(session->server.startServices(), qPrintable(session->server.failure()));
        session->observer.send("KILL Timer :services back");
        QTRY_VERIFY2_WITH_TIMEOUT(
            statusEntries(form).count(loggedIn) == 2,
            qPrintable(statusEntries(form).filter(u"アカウント"_s).join(u"\n"_s)), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(session->observer.saidBy("Timer").size() == oneMinuteRun().size(),
                                 60000);
        QVERIFY(statusEntries(form).filter(u"未接続のため送信できません"_s).isEmpty());
        QCOMPARE(statusEntries(form).filter(u"[+] 再接続しました（"_s).size(), 2);
    }

private:
    // Through the connect dialog as a user would, saying yes to the server's self-signed
    // certificate or to the password in plain text.
    void connectAs(bool tls, quint16 port)
    {
        session->boxes.answers.enqueue(tls ? platform::IDYES : platform::IDOK);
        session->form.show();
        connectControls(session->form.connectDialog()).chkTls->setChecked(tls);
        connectThroughDialog(session->form, QString::number(port), u"Timer"_s, channel);
    }
    // A certificate and its key in one file, added to the observer's account.
    QString clientCertificateFile()
    {
        const auto kind = TestCertificates::Kind::OtherSelfSigned;
        session->observer.send("PRIVMSG NickServ :CERT ADD " + certificates.fingerprint(kind));
        if (!session->observer.waitForLine("to your fingerprint list"))
            return {};
        return certificates.clientCertificateFile(kind);
    }

    TestCertificates certificates;
    std::unique_ptr<ChannelSession> session;
};

QTEST_MAIN(tst_e2eAccount)
#include "tst_e2eAccount.moc"
