#include "announcements.h"
#include "app/frmConnect.h"
#include "app/frmMain.h"
#include "app/frmServerLog.h"
#include "app/logView.h"
#include "formHelpers.h"
#include "irc/ircSession.h"
#include "irc/socketControl.h"
#include "ircObserver.h"
#include "ircServer.h"
#include "messageBoxResponder.h"
#include "nameServer.h"
#include "namespaceRerun.h"
#include "programSession.h"
#include "timer/measurementRun.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(IrcServer::Family)
Q_DECLARE_METATYPE(WireEncoding)

namespace {

const QString channel = u"#Durmast_Test"_s;

int pingsIn(frmMain &form)
{
    return int(form.serverLog().txtRec->logText().count(u"PING :"_s));
}

} // namespace

// The program on the server families behind most networks, in the encodings Japanese channels
// use, driven through its dialog as a user does: it logs in, stays through the server's pings,
// and what it says reaches a second client in the channel exactly.
class tst_e2eServerFamilies : public QObject
{
    Q_OBJECT

private slots:
    void logsInStaysAndIsUnderstood_data()
    {
        QTest::addColumn<IrcServer::Family>("family");
        QTest::addColumn<WireEncoding>("encoding");
        QTest::addColumn<QByteArray>("observerEncoding");
        QTest::addColumn<QString>("seen");
        QTest::newRow("ngIRCd, UTF-8") << IrcServer::Family::Ngircd << WireEncoding::Utf8
                                       << QByteArray("UTF-8") << u"計測〜①ｶﾞ"_s;
        QTest::newRow("InspIRCd, ISO-2022-JP")
            << IrcServer::Family::Inspircd << WireEncoding::Iso2022Jp << QByteArray("ISO-2022-JP")
            << u"計測～①ガ"_s;
        QTest::newRow("ircd-hybrid, CP932") << IrcServer::Family::Hybrid << WireEncoding::Cp932
                                            << QByteArray("windows-31j") << u"計測～①ｶﾞ"_s;
        QTest::newRow("ircd-irc2, ISO-2022-JP")
            << IrcServer::Family::Irc2 << WireEncoding::Iso2022Jp << QByteArray("ISO-2022-JP")
            << u"計測～①ガ"_s;
    }
    void logsInStaysAndIsUnderstood()
    {
        // Each server looks up the name of every client; in a network of the test's own the
        // answer comes at once and from loopback.
        if (!namespaceRerun::isRerun()) {
            const QString failure
                = namespaceRerun::rerun({u"-n"_s, u"-m"_s}, namespaceRerun::loopbackOnlySetup());
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            return;
        }
        NameServer nameServer;
        QVERIFY(nameServer.listen());
        QFETCH(IrcServer::Family, family);
        QFETCH(WireEncoding, encoding);
        QFETCH(QByteArray, observerEncoding);
        QFETCH(QString, seen);
        // ircd-irc2 pings only every half minute or so; another test sees it through its pings.
        const bool waitForPings = family != IrcServer::Family::Irc2;
        IrcServer server(3, 0, family);
        QVERIFY2(server.start(), qPrintable(server.failure()));
        IrcObserver observer;
        observer.setTextEncoding(observerEncoding);
        QVERIFY(observer.logIn(server.port(), "Observer"));
        QVERIFY(observer.join(channel.toLatin1()));
        MessageBoxResponder boxes;
        frmMain form;
        form.show();

        frmConnect &dialog = form.connectDialog();
        QComboBox *encodings = connectControls(dialog).cboEncoding;
        encodings->setCurrentIndex(encodings->findData(int(encoding)));
        connectThroughDialog(form, server.portText(), u"Timer"_s, channel);
        QTRY_VERIFY_WITH_TIMEOUT(form.session().loggedIn(), 15000);
        QCOMPARE(form.session().server(), IrcServer::name());
        QVERIFY(statusEntries(form).contains(u"[+] 現在irc.test.localに接続しています"_s));

        if (waitForPings) {
            const int pingsAtLogin = pingsIn(form);
            QTRY_VERIFY_WITH_TIMEOUT(pingsIn(form) >= pingsAtLogin + 2, 30000);
            QVERIFY(form.session().loggedIn());
            QCOMPARE(form.session().socket()->State(), int(SocketControl::sckConnected));
        } else {
            // IRCnet-style servers hold back a client that is far ahead of its line budget.
            QTest::qWait(15000);
        }

        controls(form).cboMinutes->setEditText(u"0"_s);
        const qint64 clickMs = observer.clock().elapsed();
        form.cmdCount_Click();
        const QList<Announcement> expected = countdownOnlyRun();
        QTRY_VERIFY_WITH_TIMEOUT(observer.saidBy("Timer").size() >= expected.size(), 20000);
        compareAnnouncements(observer.saidBy("Timer"), expected, clickMs, 3000);

        // What a Linux input method types: the JIS wave dash, and half-width katakana; pasted
        // after it, more than a server's line takes.
        form.txtSend_GotFocus();
        const QString pasted(298, u'あ');
        controls(form).txtSend->setText(u"計測\u301C①ｶﾞ"_s + pasted);
        QTest::keyClick(controls(form).txtSend, Qt::Key_Return);
        const auto typed = [&observer, &expected] {
            QString text;
            for (const IrcObserver::Said &said : observer.saidBy("Timer").mid(expected.size()))
                text += said.text;
            return text;
        };
        QTRY_COMPARE_WITH_TIMEOUT(typed(), seen + pasted, 10000);
        QCOMPARE(observer.saidBy("Timer").size(), expected.size() + 2);
    }
};

QTEST_MAIN(tst_e2eServerFamilies)
#include "tst_e2eServerFamilies.moc"
