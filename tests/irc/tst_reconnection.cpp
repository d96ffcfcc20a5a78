#include "app/frmMain.h"
#include "formHelpers.h"
#include "irc/ircSession.h"
#include "irc/reconnectionSchedule.h"
#include "irc/socketControl.h"
#include "loopbackServer.h"
#include "messageBoxResponder.h"
#include "serverSession.h"
#include "terminationRecorder.h"

#include <QAction>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// One second of the schedule, in the test: the first attempt comes after 50 ms.
constexpr int secondMs = 10;

enum class Close { ByServer, ByReset, ByUser };

} // namespace

Q_DECLARE_METATYPE(Close)

// A connection that had logged in and is lost without anyone asking is tried again on its own,
// on a schedule that backs off, until it logs in again or the user stops it.
class tst_reconnection : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        session = std::make_unique<ServerSession>(ServerSession::Window::Without);
        server = session->server.get();
        session->session().setSecondMs(secondMs);
    }
    void cleanup()
    {
        session.reset();
        boxes.boxes.clear();
        termination.exitCodes.clear();
    }

    void scheduleBacksOffToOnceAMinute_data()
    {
        QTest::addColumn<int>("attempt");
        QTest::addColumn<int>("seconds");
        for (const auto &[attempt, seconds] :
             {std::pair {1, 5}, {2, 10}, {3, 20}, {4, 40}, {5, 60}, {6, 60}, {1000, 60}})
            QTest::addRow("attempt %d", attempt) << attempt << seconds;
    }
    void scheduleBacksOffToOnceAMinute()
    {
        QFETCH(int, attempt);
        QFETCH(int, seconds);
        QCOMPARE(reconnectionSchedule::delaySeconds(attempt), seconds);
    }

    void collisionsTryUnderscores_data()
    {
        QTest::addColumn<int>("collisions");
        QTest::addColumn<QString>("nick");
        QTest::newRow("first") << 1 << u"Timer_"_s;
        QTest::newRow("second") << 2 << u"Timer__"_s;
        QTest::newRow("third") << 3 << QString();
    }
    void collisionsTryUnderscores()
    {
        QFETCH(int, collisions);
        QFETCH(QString, nick);
        QCOMPARE(
            reconnectionSchedule::alternateNickname(u"Timer"_s, collisions).value_or(QString()),
            nick);
    }

    void onlyAnUnaskedLossIsMended_data()
    {
        QTest::addColumn<bool>("logInFirst");
        QTest::addColumn<QByteArray>("serverSays");
        QTest::addColumn<Close>("close");
        QTest::addColumn<bool>("reconnects");
        QTest::newRow("server closes") << true << QByteArray() << Close::ByServer << true;
        QTest::newRow("server resets") << true << QByteArray() << Close::ByReset << true;
        QTest::newRow("server's ERROR line")
            << true << QByteArray("ERROR :Closing Link: Timer[127.0.0.1] (Ping timeout)\r\n")
            << Close::ByServer << true;
        QTest::newRow("user disconnects") << true << QByteArray() << Close::ByUser << false;
        QTest::newRow("kicked") << true << QByteArray(":op!u@h KICK #chan Timer :bye\r\n")
                                << Close::ByServer << false;
        QTest::newRow("own part") << true << QByteArray(":Timer!~tmr103@h PART #chan :bye\r\n")
                                  << Close::ByServer << false;
        QTest::newRow("collision at the user's login")
            << false << QByteArray(":irc.test 433 * Timer :Nickname is already in use.\r\n")
            << Close::ByServer << false;
        QTest::newRow("closed before the login")
            << false << QByteArray() << Close::ByServer << false;
    }
    void onlyAnUnaskedLossIsMended()
    {
        QFETCH(bool, logInFirst);
        QFETCH(QByteArray, serverSays);
        QFETCH(Close, close);
        QFETCH(bool, reconnects);
        QVERIFY(session->connect());
        if (logInFirst)
            QVERIFY(session->logIn());
        // Whatever the program answers (a QUIT) is on the wire once the block is handled.
        if (!serverSays.isEmpty())
            QVERIFY(session->sendHandled(serverSays));
        if (close == Close::ByUser)
            session->session().disconnectFromServer();
        else if (close == Close::ByReset)
            server->resetClient();
        else
            server->closeClient();
        QTRY_VERIFY(!session->statusLines.filter(u"から切断しました"_s).isEmpty());
        QCOMPARE(session->session().isReconnecting(), reconnects);
        if (!reconnects) {
            QVERIFY(session->statusLines.filter(u"再接続"_s).isEmpty());
            return;
        }
        QVERIFY(session->statusLines.contains(u"[+] 5秒後に再接続します（1回目）"_s));
        QTRY_COMPARE(server->clientsAccepted(), 2);
        QVERIFY(server->waitForReceived(" :Kestrion\r\n"));
        QVERIFY(session->statusLines.contains(u"[+] 127.0.0.1に再接続を試みます（1回目）"_s));
        server->send(ServerSession::greeting + ServerSession::endOfMotd);
        QVERIFY(server->waitForReceived("JOIN #chan\r\nMODE #chan +sn\r\n"));
        QTRY_VERIFY(session->session().loggedIn());
        QVERIFY(!session->session().isReconnecting());
        QVERIFY(session->statusLines.constLast().startsWith(u"[+] 再接続しました（"_s));
    }

    void failedAttemptsOnlyScheduleTheNext()
    {
        QVERIFY(session->connect());
        QVERIFY(session->logIn());
        const quint16 port = server->port();
        session->server.reset();
        QTRY_VERIFY_WITH_TIMEOUT(
            session->statusLines.contains(u"[+] 40秒後に再接続します（4回目）"_s), 5000);
        const QStringList log = session->statusLines;
        for (int attempt = 1; attempt <= 3; ++attempt)
            QVERIFY(log.contains(
                u"[-] 再接続できませんでした（%1回目）: 接続が拒否されました"_s.arg(attempt)));
        QVERIFY(log.contains(u"[+] 20秒後に再接続します（3回目）"_s));
        QVERIFY(boxes.boxes.isEmpty());
        QVERIFY(termination.exitCodes.isEmpty());

        LoopbackServer restarted({port});
        QVERIFY(restarted.waitForClient());
        QVERIFY(restarted.waitForReceived(" :Kestrion\r\n"));
        restarted.send(ServerSession::greeting + ServerSession::endOfMotd);
        QTRY_VERIFY(session->session().loggedIn());
        QVERIFY(session->statusLines.contains(u"[+] 127.0.0.1に再接続を試みます（4回目）"_s));
    }

    void aNicknameStillHeldGetsUnderscores_data()
    {
        QTest::addColumn<QByteArray>("refusal");
        QTest::newRow("in use") << QByteArray("433 * %1 :Nickname is already in use.");
        QTest::newRow("held after a netsplit")
            << QByteArray("437 * %1 :Nick/channel is temporarily unavailable");
    }
    void aNicknameStillHeldGetsUnderscores()
    {
        useWindow();
        QFETCH(QByteArray, refusal);
        const auto refuse = [&](const char *nick) {
            server->send(":irc.test " + QByteArray(refusal).replace("%1", nick) + "\r\n");
        };
        QVERIFY(session->connect());
        QVERIFY(session->logIn());
        server->closeClient();
        QTRY_COMPARE(server->clientsAccepted(), 2);
        QVERIFY(server->waitForReceived(" :Kestrion\r\n"));
        refuse("Timer");
        QVERIFY(server->waitForReceived("NICK Timer_\r\n"));
        refuse("Timer_");
        QVERIFY(server->waitForReceived("NICK Timer__\r\n"));
        server->send(ServerSession::greeting + ":irc.test 376 Timer__ :End of MOTD\r\n");
        QTRY_VERIFY(form->session().loggedIn());
        QCOMPARE(form->session().nick(), u"Timer__"_s);
        QVERIFY(statusEntries(*form).contains(u"[+] ニックネームをTimer__にして試します"_s));
        QVERIFY(!form->isConnectDialogLoaded());

        // The next loss starts again from the user's own nickname.
        server->closeClient();
        QTRY_COMPARE(server->clientsAccepted(), 3);
        QVERIFY(server->waitForReceived(" :Kestrion\r\n"));
        QCOMPARE(server->receivedLines().value(1), QByteArray("NICK Timer"));
    }

    // Knocking again would only be refused again.
    void aBanEndsTheReconnection()
    {
        QVERIFY(session->connect());
        QVERIFY(session->logIn());
        server->closeClient();
        QTRY_COMPARE(server->clientsAccepted(), 2);
        QVERIFY(server->waitForReceived(" :Kestrion\r\n"));
        server->send(":irc.test 465 Timer :You are banned from this server (flooding)\r\n");
        QTRY_VERIFY(!session->session().isReconnecting());
        server->closeClient();
        QTRY_COMPARE(session->statusLines.constLast(), u"[x] 127.0.0.1から切断しました"_s);
        QVERIFY(session->statusLines.contains(u"[x] You are banned from this server (flooding)"_s));
        QTest::qWait(20 * secondMs);
        QCOMPARE(server->clientsAccepted(), 2);
    }

    // The services may be down for a while: a reconnection logs in without the account rather
    // than leave the run without the channel, and the next one tries the account again.
    void aReconnectionGoesOnWithoutAFailedAccount_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("status");
        QTest::newRow("refused")
            << QByteArray(":irc.test 904 Timer :SASL authentication failed\r\n")
            << u"[x] アカウントのログインが拒まれました: アカウント名かパスワードが違います"_s;
        QTest::newRow("unanswered")
            << QByteArray()
            << u"[-] サーバが20秒以内に応答しないため、アカウントを使わずにログインします"_s;
    }
    void aReconnectionGoesOnWithoutAFailedAccount()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, status);
        QVERIFY(session->connect(u"timer"_s, u"secret"_s));
        QVERIFY(session->logIn());
        for (int attempt = 2; attempt <= 3; ++attempt) {
            server->closeClient();
            QTRY_COMPARE(server->clientsAccepted(), attempt);
            QVERIFY(server->waitForReceived(" :Kestrion\r\n"));
            server->send(":irc.test CAP * LS :sasl\r\n:irc.test CAP Timer ACK :sasl\r\n"
                         "AUTHENTICATE +\r\n"
                         + answer);
            QVERIFY(server->waitForReceived("AUTHENTICATE AHRpbWVyAHNlY3JldA==\r\n"));
            QVERIFY(server->waitForReceived("CAP END\r\n"));
            server->send(ServerSession::greeting + ServerSession::endOfMotd);
            QTRY_VERIFY(session->session().loggedIn());
            QCOMPARE(session->statusLines.count(status), attempt - 1);
        }
        QCOMPARE(session->statusLines.filter(u"アカウントを使わずにログインします"_s).size(), 2);
    }

    void anAttemptThatNeverLogsInIsGivenUp()
    {
        QVERIFY(session->connect());
        QVERIFY(session->logIn());
        server->closeClient();
        QTRY_COMPARE(server->clientsAccepted(), 2);
        QTRY_VERIFY(session->statusLines.contains(
            u"[-] 再接続できませんでした（1回目）: 60秒以内にログインできませんでした"_s));
        QVERIFY(session->session().isReconnecting());
        QTRY_COMPARE(server->clientsAccepted(), 3);
    }

    void disconnectStopsAPendingReconnection()
    {
        useWindow();
        form->session().setSecondMs(1000);
        QVERIFY(session->connect());
        QVERIFY(session->logIn());
        server->closeClient();
        QTRY_VERIFY(form->session().isReconnecting());
        QVERIFY(controls(*form).mnuDisconnect->isEnabled());
        controls(*form).mnuDisconnect->trigger();
        QVERIFY(boxes.boxes.isEmpty());
        QVERIFY(!form->session().isReconnecting());
        QCOMPARE(statusEntries(*form).constLast(), u"[i] 再接続を取りやめました"_s);
        QVERIFY(!controls(*form).mnuDisconnect->isEnabled());
        QVERIFY(controls(*form).mnuConnect->isEnabled());
    }

private:
    // For the cases about the window: the same session, as the window's own.
    void useWindow()
    {
        session = std::make_unique<ServerSession>(ServerSession::Window::With);
        form = session->form.get();
        server = session->server.get();
        form->session().setSecondMs(secondMs);
    }

    MessageBoxResponder boxes;
    TerminationRecorder termination;
    std::unique_ptr<ServerSession> session;
    frmMain *form = nullptr;
    LoopbackServer *server = nullptr;
};

QTEST_MAIN(tst_reconnection)
#include "tst_reconnection.moc"
