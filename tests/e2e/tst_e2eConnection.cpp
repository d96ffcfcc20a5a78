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
#include "platform/cp932.h"
#include "programSession.h"
#include "terminationRecorder.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString channel = u"#Durmast_Test"_s;

} // namespace

class tst_e2eConnection : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        form.reset();
        observer.reset();
        server.reset();
        boxes.boxes.clear();
        boxes.answers.clear();
    }

    void logsInAndJoinsTheChannel()
    {
        QVERIFY(startServerAndObserver());
        QVERIFY(logInProgram());
        QVERIFY(observer->waitForLine(":Timer!~tmr103@"));
        QVERIFY(observer->waitForLine("JOIN :" + channel.toLatin1()));
        QCOMPARE(form->session().server(), IrcServer::name());
        QVERIFY(!controls(*form).mnuConnect->isEnabled());
        QVERIFY(controls(*form).mnuDisconnect->isEnabled());
        QVERIFY(controls(*form).cmdCount->isEnabled());
        QVERIFY(controls(*form).txtSend->isEnabled());
        QVERIFY(controls(*form).cboMinutes->isEnabled());
        const QStringList log = statusEntries(*form);
        QVERIFY(log.contains(u"[+] 現在irc.test.localに接続しています"_s));
        QVERIFY(log.contains(u"[+] #Durmast_Testにログインしました"_s));
        QVERIFY(form->serverLog().txtRec->logText().contains(u" 376 Timer "_s));
    }

    void chatTextReachesTheChannelInCp932()
    {
        QVERIFY(startServerAndObserver());
        QVERIFY(logInProgram());
        form->txtSend_GotFocus();
        const QString text = u"こんにちは、計測①～"_s;
        controls(*form).txtSend->setText(u"  "_s + text + u"  "_s);
        QTest::keyClick(controls(*form).txtSend, Qt::Key_Return);
        const QByteArray wire
            = "PRIVMSG " + channel.toLatin1() + " :" + platform::encodeCp932(text);
        QVERIFY(observer->waitForLine(wire));
        QCOMPARE(observer->saidBy("Timer").constLast().text, text);
        QVERIFY(controls(*form).txtSend->text().isEmpty());
    }

    // Another member types what reads like a KICK of the program and like the server's PING:
    // the program neither leaves nor answers (a NAMES sent would bring the list back).
    void chatLinesThatLookLikeCommandsAreOnlyText()
    {
        QVERIFY(startServerAndObserver());
        QVERIFY(logInProgram());
        QVERIFY(observer->waitForLine("JOIN :" + channel.toLatin1()));
        const QByteArray to = channel.toLatin1() + " :";
        for (const QByteArray command : {"PRIVMSG ", "NOTICE "}) {
            observer->send(command + to + "KICK " + channel.toLatin1() + " Timer :bye");
            observer->send(command + to + "PING :" + IrcServer::name().toLatin1());
        }
        observer->send("PRIVMSG " + to + "last");
        QTRY_VERIFY(form->serverLog().txtRec->logText().contains(u":last"_s));
        // The server answers in order: once it has answered this, it would have answered any
        // NAMES sent before.
        form->session().SendLine(u"PING :sentinel"_s);
        QTRY_VERIFY(form->serverLog().txtRec->logText().contains(u"PONG"_s));
        QVERIFY(form->session().loggedIn());
        // The one names list is the JOIN's.
        QCOMPARE(form->serverLog().txtRec->logText().count(u" 366 Timer "_s), 1);
        QVERIFY(statusEntries(*form).filter(u"追い出されました"_s).isEmpty());
        QCOMPARE(form->session().socket()->State(), int(SocketControl::sckConnected));
    }

    void answersPingsAndStaysConnected()
    {
        server = std::make_unique<IrcServer>(2);
        QVERIFY2(server->start(), qPrintable(server->failure()));
        form = std::make_unique<frmMain>();
        QVERIFY(logInProgram());
        // The server looks at its clients about every 30 s: it pings a quiet one, and drops one
        // that left the previous ping unanswered. A second ping therefore proves the first was
        // answered.
        QTRY_VERIFY_WITH_TIMEOUT(
            form->serverLog().txtRec->logText().count(u"PING :irc.test.local"_s) >= 2, 120000);
        QVERIFY(form->session().loggedIn());
        QCOMPARE(form->session().socket()->State(), int(SocketControl::sckConnected));
    }

    void nicknameCollisionWithARealServer()
    {
        QVERIFY(startServerAndObserver("Timer"));
        form->show();
        connectThroughDialog(*form, server->portText(), u"Timer"_s, channel);
        QTRY_VERIFY_WITH_TIMEOUT(controls(*form).mnuConnect->isEnabled(), 10000);
        const QStringList log = statusEntries(*form);
        QVERIFY(log.contains(u"[x] そのニックネームは既に使われています"_s));
        QCOMPARE(log.constLast(), u"[x] irc.test.localから切断しました"_s);
        QVERIFY(!form->session().loggedIn());
        QVERIFY(form->isConnectDialogLoaded());
        QVERIFY(!form->connectDialog().isVisible());
        QCOMPARE(connectControls(form->connectDialog()).txtNick->text(), u"Timer_"_s);
        QCOMPARE(connectControls(form->connectDialog()).cboServer->currentText(),
                 u"irc.ircnet.ne.jp"_s);
    }

    void serverStoppingBringsTheOfflineState()
    {
        QVERIFY(startServerAndObserver());
        QVERIFY(logInProgram());
        server->stop();
        QTRY_VERIFY_WITH_TIMEOUT(!form->session().loggedIn(), 10000);
        QVERIFY(controls(*form).mnuConnect->isEnabled());
        // Only to stop the reconnection that is due.
        QVERIFY(form->session().isReconnecting());
        QVERIFY(controls(*form).mnuDisconnect->isEnabled());
        QVERIFY(!controls(*form).cmdCount->isEnabled());
        QVERIFY(!controls(*form).txtSend->isEnabled());
        QVERIFY(statusEntries(*form).contains(u"[x] irc.test.localから切断しました"_s));
    }

    void disconnectFromTheMenu()
    {
        QVERIFY(startServerAndObserver());
        QVERIFY(logInProgram());
        boxes.answers.enqueue(platform::IDOK);
        controls(*form).mnuDisconnect->trigger();
        QCOMPARE(boxes.boxes.size(), 1);
        QVERIFY(!form->session().loggedIn());
        QVERIFY(controls(*form).mnuConnect->isEnabled());
        QVERIFY(observer->waitForLine(":Timer!~tmr103@127.0.0.1 QUIT"));
    }

private:
    bool startServerAndObserver(const QByteArray &observerNick = "Observer")
    {
        server = std::make_unique<IrcServer>();
        if (!server->start()) {
            qWarning() << server->failure();
            return false;
        }
        observer = std::make_unique<IrcObserver>();
        form = std::make_unique<frmMain>();
        return observer->logIn(server->port(), observerNick) && observer->join(channel.toLatin1());
    }
    bool logInProgram()
    {
        form->show();
        connectThroughDialog(*form, server->portText(), u"Timer"_s, channel);
        return QTest::qWaitFor([this] { return form->session().loggedIn(); }, 15000);
    }

    MessageBoxResponder boxes;
    TerminationRecorder termination;
    std::unique_ptr<IrcServer> server;
    std::unique_ptr<IrcObserver> observer;
    std::unique_ptr<frmMain> form;
};

QTEST_MAIN(tst_e2eConnection)
#include "tst_e2eConnection.moc"
