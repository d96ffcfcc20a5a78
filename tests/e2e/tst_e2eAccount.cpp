#include "app/frmConnect.h"
#include "app/frmMain.h"
#include "app/frmServerLog.h"
#include "app/logView.h"
#include "formHelpers.h"
#include "irc/ircSession.h"
#include "linkProxy.h"
#include "programSession.h"
#include "testCertificates.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSslCertificate>
#include <QTest>

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
        session->observer.send("PRIVMSG NickServ :REGISTER " + password.toLatin1()
                               + " observer@example.com");
        QVERIFY(session->observer.waitForLine("is now registered"));
    }
    void cleanup() { session.reset(); }

    // PLAIN, over TLS or, once the user has agreed, in plain text: the account logs in and a
    // run reaches the channel; a wrong password ends the connection with its reason. The
    // password is in neither log.
    void plainLogsInOrIsRefused_data()
    {
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("status");
        QTest::newRow("TLS") << true << password << loggedIn;
        QTest::newRow("plain text, agreed") << false << password << loggedIn;
        QTest::newRow("wrong password")
            << true << u"wrong-secret"_s
            << u"[x] アカウントのログインが拒まれました: アカウント名かパスワードが違います"_s;
    }
    void plainLogsInOrIsRefused()
    {
        QFETCH(bool, tls);
        QFETCH(QString, typed);
        QFETCH(QString, status);
        frmMain &form = session->form;
        frmConnect &dialog = form.connectDialog();
        dialog.txtAccount->setText(u"Observer"_s);
        dialog.txtPassword->setText(typed);
        connectAs(tls, tls ? session->server.tlsPort() : session->server.port());
        QTRY_VERIFY2_WITH_TIMEOUT(statusEntries(form).contains(status),
                                  qPrintable(statusEntries(form).join(u"\n"_s)), 15000);
        const QList<platform::MessageBoxRequest> &boxes = session->boxes.boxes;
        QVERIFY(!boxes.isEmpty()
                && boxes[0].prompt.contains(tls ? u"証明書"_s : u"暗号化されずに"_s));
        if (typed == password) {
            QTRY_VERIFY_WITH_TIMEOUT(form.session().loggedIn(), 15000);
            controls(form).cboMinutes->setEditText(u"0"_s);
            form.cmdCount_Click();
            const auto started = [this] {
                const QList<IrcObserver::Said> said = session->observer.saidBy("Timer");
                return std::any_of(said.cbegin(), said.cend(), [](const IrcObserver::Said &line) {
                    return line.text == u"0＠"_s;
                });
            };
            QTRY_VERIFY2_WITH_TIMEOUT(started(), qPrintable(statusEntries(form).join(u"\n"_s)),
                                      40000);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(!form.session().isConnected(), 15000);
            QTest::qWait(3000);
            QVERIFY(!form.session().loggedIn() && !form.session().isReconnecting());
            QCOMPARE(boxes.constLast().title, u"IRCサーバにログインできません"_s);
        }
        for (const QString &log :
             {controls(form).txtStatus->logText(), form.serverLog().txtRec->logText()})
            QVERIFY(!log.contains(typed));
    }

    // EXTERNAL: the certificate the test makes, added to the account, logs it in over TLS.
    void externalLogsInWithTheCertificate()
    {
        const QSslCertificate certificate
            = QSslCertificate::fromPath(
                  certificates.certificateFile(TestCertificates::Kind::OtherSelfSigned))
                  .value(0);
        session->observer.send("PRIVMSG NickServ :CERT ADD "
                               + certificate.digest(QCryptographicHash::Sha256).toHex());
        QVERIFY(session->observer.waitForLine("to your fingerprint list"));
        const QString pem = QDir(certificateFolder.path()).filePath(u"client.pem"_s);
        QFile file(pem);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(certificate.toPem() + readAll(certificates.keyFile()));
        file.close();
        session->form.connectDialog().txtCertificate->setText(pem);
        connectAs(true, session->server.tlsPort());
        QTRY_VERIFY2_WITH_TIMEOUT(statusEntries(session->form).contains(loggedIn),
                                  qPrintable(statusEntries(session->form).join(u"\n"_s)), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(session->form.session().loggedIn(), 15000);
    }

    // A lost link's reconnection logs in to the account again; once the password has been
    // changed, its refusal ends the reconnection instead of trying again and again.
    void reconnectionRepeatsTheLoginAndStopsAtARefusal()
    {
        LinkProxy proxy(session->server.tlsPort());
        QVERIFY(proxy.listen());
        frmMain &form = session->form;
        form.session().setReconnectSecondMs(200);
        form.connectDialog().txtAccount->setText(u"Observer"_s);
        form.connectDialog().txtPassword->setText(password);
        connectAs(true, proxy.portText().toUShort());
        QTRY_VERIFY_WITH_TIMEOUT(form.session().loggedIn(), 15000);
        proxy.cutAll();
        QTRY_VERIFY2_WITH_TIMEOUT(statusEntries(form).filter(u"再接続しました"_s).size() == 1,
                                  qPrintable(statusEntries(form).join(u"\n"_s)), 30000);
        QCOMPARE(statusEntries(form).filter(loggedIn).size(), 2);

        session->observer.send("PRIVMSG NickServ :IDENTIFY " + password.toLatin1());
        session->observer.send("PRIVMSG NickServ :SET PASSWORD another-secret");
        QVERIFY(session->observer.waitForLine("The password for"));
        proxy.cutAll();
        QTRY_VERIFY_WITH_TIMEOUT(statusEntries(form).contains(u"[i] 再接続を取りやめました"_s),
                                 30000);
        QVERIFY(!statusEntries(form).filter(u"アカウントのログインが拒まれました"_s).isEmpty());
        const qsizetype attempts = statusEntries(form).filter(u"に再接続を試みます"_s).size();
        QTest::qWait(3000);
        QCOMPARE(statusEntries(form).filter(u"に再接続を試みます"_s).size(), attempts);
        QVERIFY(!form.session().isReconnecting());
    }

private:
    // Through the connect dialog as a user would; the server's self-signed certificate is
    // accepted when the program asks.
    void connectAs(bool tls, quint16 port)
    {
        session->boxes.answers.enqueue(tls ? platform::IDYES : platform::IDOK);
        session->form.show();
        session->form.connectDialog().chkTls->setChecked(tls);
        connectThroughDialog(session->form, QString::number(port), u"Timer"_s, channel);
    }
    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    TestCertificates certificates;
    QTemporaryDir certificateFolder;
    std::unique_ptr<ChannelSession> session;
};

QTEST_MAIN(tst_e2eAccount)
#include "tst_e2eAccount.moc"
