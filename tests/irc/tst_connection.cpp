#include "app/frmConnect.h"
#include "app/frmMain.h"
#include "app/frmServerLog.h"
#include "app/logView.h"
#include "formHelpers.h"
#include "irc/clientCertificate.h"
#include "irc/ircSession.h"
#include "irc/socketControl.h"
#include "loopbackServer.h"
#include "messageBoxResponder.h"
#include "platform/windowHelpers.h"
#include "serverSession.h"
#include "terminationRecorder.h"
#include "testCertificate.h"
#include "testCertificates.h"
#include "timer/measurementRun.h"
#include "timer/tickTimer.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSslServer>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace platform;

class tst_connection : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        session = std::make_unique<ServerSession>(ServerSession::Window::Without);
        server = session->server.get();
    }
    void cleanup()
    {
        session.reset();
        boxes.boxes.clear();
        boxes.answers.clear();
        termination.exitCodes.clear();
    }

    void registersWithNickAndUser()
    {
        QVERIFY(session->connect());
        const QList<QByteArray> lines = server->receivedLines();
        // The capability request asks without waiting: the login is today's.
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QByteArray("CAP LS 302"));
        QCOMPARE(lines[1], QByteArray("NICK Timer"));
        QCOMPARE(lines[2],
                 "USER tmr103 " + session->session().socket()->LocalHostName().toUtf8()
                     + " 127.0.0.1 :Kestrion");
        QCOMPARE(session->statusLines,
                 (QStringList {u"[+] 127.0.0.1に接続を試みます"_s, u"[+] 127.0.0.1に接続しました"_s,
                               u"[+] ログイン情報を送信"_s}));
    }

    void blockArrivingBeforeTheUserLineIsHandledFirst()
    {
        server->setGreeting(ServerSession::greeting);
        QVERIFY(session->connect());
        QCOMPARE(server->receivedLines().value(2),
                 "USER tmr103 " + session->session().socket()->LocalHostName().toUtf8()
                     + " irc.test :Kestrion");
        QCOMPARE(session->session().server(), u"irc.test"_s);
    }

    void endOfMotdLogsIn()
    {
        useWindow();
        QVERIFY(session->connect());
        controls(*form).txtSend->setText(u"left from before"_s);
        QVERIFY(session->logIn());
        QCOMPARE(server->receivedLines().mid(3),
                 (QList<QByteArray> {"JOIN #chan", "MODE #chan +sn"}));
        QCOMPARE(statusEntries(*form).mid(4),
                 (QStringList {u"[+] 現在irc.testに接続しています"_s,
                               u"[+] #chanにログインしました"_s}));
        QVERIFY(form->session().loggedIn());
        QVERIFY(!controls(*form).mnuConnect->isEnabled());
        QVERIFY(controls(*form).mnuDisconnect->isEnabled());
        QVERIFY(controls(*form).cmdCount->isEnabled());
        QVERIFY(controls(*form).txtSend->isEnabled());
        QCOMPARE(controls(*form).txtSend->text(), u"(Enterキーで文字を送信できます)"_s);
        QVERIFY(controls(*form).cboMinutes->isEnabled());
    }

    void serverLogGetsEveryBlockFirst()
    {
        useWindow();
        QVERIFY(session->connect());
        server->send(ServerSession::greeting);
        QTRY_VERIFY(form->serverLog().isLoaded()
                    && form->serverLog().txtRec->logText().contains(u"Please wait"_s));
        QVERIFY(!form->serverLog().isVisible());
    }

    void serverNameFrom020_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QString>("server");
        QTest::newRow("first line") << ServerSession::greeting << u"irc.test"_s;
        QTest::newRow("not first line")
            << QByteArray("NOTICE AUTH :hi\r\n:irc.other 020 * :wait\r\n") << u"irc.other"_s;
        QTest::newRow("at position 1") << QByteArray(" 020 * :wait\r\n") << u"127.0.0.1"_s;
        QTest::newRow("welcome without 020")
            << QByteArray(":irc.other 001 Timer :Welcome\r\n") << u"irc.other"_s;
        QTest::newRow("020 before the welcome")
            << ServerSession::greeting + ":irc.other 001 Timer :Welcome\r\n"
            << u"irc.test"_s;
    }
    void serverNameFrom020()
    {
        QFETCH(QByteArray, block);
        QFETCH(QString, server);
        QVERIFY(session->connect());
        this->server->send(block);
        QTRY_COMPARE(session->statusLines.constLast(),
                     u"[+] 現在"_s + server + u"に接続しています"_s);
        QCOMPARE(session->session().server(), server);
    }

    void onlyTheExactEndOfMotdLogsIn_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<bool>("loggedIn");
        QTest::newRow("020 and 376 in one block")
            << ServerSession::greeting + ServerSession::endOfMotd << true;
        QTest::newRow("longer nick") << ServerSession::greeting + ":irc.test 376 Timer_ :End\r\n"
                                     << true;
        QTest::newRow("server in other case")
            << ServerSession::greeting + ":IRC.TEST 376 Timer :End\r\n"
            << false;
        QTest::newRow("other nick") << ServerSession::greeting + ":irc.test 376 Other :End\r\n"
                                    << false;
        QTest::newRow("welcome") << ServerSession::greeting + ":irc.test 001 Timer :Welcome\r\n"
                                 << false;
        QTest::newRow("MOTD missing")
            << ServerSession::greeting + ":irc.test 422 Timer :MOTD missing\r\n"
            << true;
        QTest::newRow("named by the welcome, no MOTD")
            << QByteArray(":irc.other 001 Timer :Hi\r\n:irc.other 422 Timer :No MOTD\r\n") << true;
    }
    void onlyTheExactEndOfMotdLogsIn()
    {
        QFETCH(QByteArray, block);
        QFETCH(bool, loggedIn);
        QVERIFY(session->connect());
        QCOMPARE(session->answerTo(block).contains("JOIN #chan"), loggedIn);
        QCOMPARE(session->session().loggedIn(), loggedIn);
    }

    void nicknameInUseBeforeLogin_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<bool>("inUse");
        QTest::newRow("numeric") << QByteArray(
            ":irc.test 433 * Timer :Nickname is already in use.\r\n")
                                 << true;
        QTest::newRow("text") << QByteArray("NOTICE Timer :Nickname is already in use\r\n") << true;
        QTest::newRow("inside a user count")
            << QByteArray(":irc.test 251 Timer :There are 14330 users\r\n") << false;
    }
    void nicknameInUseBeforeLogin()
    {
        useWindow();
        QFETCH(QByteArray, block);
        QFETCH(bool, inUse);
        QVERIFY(session->connect());
        QCOMPARE(session->answerTo(block).contains("QUIT"), inUse);
        QCOMPARE(statusEntries(*form).contains(u"[x] そのニックネームは既に使われています"_s),
                 inUse);
        QCOMPARE(form->isConnectDialogLoaded(), inUse);
        if (inUse) {
            QCOMPARE(connectControls(form->connectDialog()).txtNick->text(), u"Timer_"_s);
            QVERIFY(!form->connectDialog().isVisible());
            server->closeClient();
            QTRY_VERIFY(controls(*form).mnuConnect->isEnabled());
        }
    }

    void loginStepsComeBeforeTheCollisionInOneBlock()
    {
        QVERIFY(session->connect());
        server->send(ServerSession::greeting + ServerSession::endOfMotd
                     + ":irc.test 433 * Timer :Nickname is already in use.\r\n");
        QVERIFY(server->waitForReceived("QUIT\r\n"));
        QCOMPARE(session->sentSinceMark(),
                 (QList<QByteArray> {"JOIN #chan", "MODE #chan +sn", "QUIT"}));
    }

    // Once refused, the program only waits for the close, whatever the server sends on.
    void nothingFollowsTheQuitOfARefusedAccount()
    {
        QVERIFY(session->connect(u"timer"_s, u"secret"_s));
        const QByteArray block = ":irc.test CAP * LS :sasl\r\n:irc.test CAP Timer ACK :sasl\r\n"
                                 "AUTHENTICATE +\r\n:irc.test 904 Timer :SASL failed\r\n"
                                 "PING :cookie\r\n:irc.test 001 Timer :Welcome\r\n"
            + ServerSession::endOfMotd;
        QCOMPARE(session->answerTo(block),
                 (QList<QByteArray> {"CAP REQ :sasl", "AUTHENTICATE PLAIN",
                                     "AUTHENTICATE AHRpbWVyAHNlY3JldA==", "QUIT"}));
        QVERIFY(!session->session().loggedIn());
    }

    void afterLoginCollisionsAreNotLookedFor()
    {
        QVERIFY(session->connect());
        QVERIFY(session->logIn());
        QVERIFY(
            session->answerTo(":irc.test 433 * Timer :Nickname is already in use.\r\n").isEmpty());
    }

    void pingsAreAnsweredWithTheirOwnToken_data()
    {
        QTest::addColumn<bool>("logInFirst");
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QList<QByteArray>>("answer");
        const QList<QByteArray> pongAndNames {"PONG irc.test", "NAMES #chan"};
        QTest::newRow("our server") << true << QByteArray("PING :irc.test\r\n") << pongAndNames;
        QTest::newRow("two in one block")
            << true << QByteArray("PING :irc.test\r\nPING :irc.test\r\n") << pongAndNames;
        QTest::newRow("numeric token")
            << true << QByteArray("PING :123456\r\n") << QList<QByteArray> {"PONG :123456"};
        QTest::newRow("token that begins with our server")
            << true << QByteArray("PING :irc.test.77\r\n")
            << QList<QByteArray> {"PONG :irc.test.77"};
        QTest::newRow("token with a source")
            << true << QByteArray(":irc.test PING :x1\r\n") << QList<QByteArray> {"PONG :x1"};
        QTest::newRow("inside a message")
            << true << QByteArray(":a!b@c PRIVMSG #chan :PING :123\r\n") << QList<QByteArray> {};
        QTest::newRow("our server inside a message")
            << true << QByteArray(":a!b@c PRIVMSG #chan :PING :irc.test\r\n")
            << QList<QByteArray> {};
        QTest::newRow("our server inside a notice")
            << true << QByteArray(":a!b@c NOTICE #chan :PING :irc.test\r\n")
            << QList<QByteArray> {};
        QTest::newRow("before login")
            << false << QByteArray("PING :irc.test\r\n") << QList<QByteArray> {"PONG :irc.test"};
        QTest::newRow("cookie before login, no colon")
            << false << QByteArray("PING 4127714687\r\n") << QList<QByteArray> {"PONG 4127714687"};
        QTest::newRow("inside a notice before login")
            << false << QByteArray("NOTICE * :PING :1\r\n") << QList<QByteArray> {};
    }
    void pingsAreAnsweredWithTheirOwnToken()
    {
        QFETCH(bool, logInFirst);
        QFETCH(QByteArray, block);
        QFETCH(QList<QByteArray>, answer);
        server->setGreeting(ServerSession::greeting);
        QVERIFY(session->connect());
        if (logInFirst)
            QVERIFY(session->logIn());
        QCOMPARE(session->answerTo(block), answer);
    }

    void linesCutBetweenReadsAreRecognisedWhole_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("cutAt");
        QTest::addColumn<QList<QByteArray>>("answer");
        const QList<QByteArray> login {"JOIN #chan", "MODE #chan +sn"};
        const QByteArray welcomeWithoutMotd
            = ":irc.other 001 Timer :Hi\r\n:irc.other 422 Timer :No MOTD\r\n";
        const QByteArray endOfMotd = ServerSession::greeting + ServerSession::endOfMotd;
        // cutAt 0: one byte a read.
        for (int cutAt : {-1, 0}) {
            const char *how = cutAt ? "cut" : "byte by byte";
            QTest::addRow("PING token, %s", how)
                << QByteArray("PING :4127714687\r\n") << (cutAt ? 10 : 0)
                << QList<QByteArray> {"PONG :4127714687"};
            QTest::addRow("001 and 422, %s", how)
                << welcomeWithoutMotd << (cutAt ? 12 : 0) << login;
            QTest::addRow("422 cut, %s", how) << welcomeWithoutMotd << (cutAt ? 40 : 0) << login;
            QTest::addRow("376, %s", how)
                << endOfMotd << (cutAt ? int(ServerSession::greeting.size()) + 11 : 0) << login;
        }
    }
    void linesCutBetweenReadsAreRecognisedWhole()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, cutAt);
        QFETCH(QList<QByteArray>, answer);
        QVERIFY(session->connect());
        QList<QByteArray> reads {bytes.left(cutAt), bytes.mid(cutAt)};
        if (cutAt == 0) {
            reads.clear();
            for (char byte : bytes)
                reads << QByteArray(1, byte);
        }
        QCOMPARE(session->answerTo(reads), answer);
    }

    void channelTextBeforeTheJoinIsLoggedAsUnsent()
    {
        QVERIFY(session->connect());
        session->pacer().SendNotice(u"計測時間1分 カウント開始"_s);
        session->pacer().SendPrivmsg(u"10＠"_s);
        const QStringList log = session->statusLines;
        QCOMPARE(log.mid(log.size() - 2),
                 (QStringList {
                     u"[-] 未接続のため送信できません: NOTICE #chan :計測時間1分 カウント開始"_s,
                     u"[-] 未接続のため送信できません: PRIVMSG #chan :10＠"_s}));
        QCOMPARE(session->answerTo(ServerSession::greeting + ServerSession::endOfMotd),
                 (QList<QByteArray> {"JOIN #chan", "MODE #chan +sn"}));
    }

    void loginLinesWaitWithoutHoldingUpTheWindow()
    {
        QStringList logWhenConnectReturned;
        connect(session->session().socket(), &SocketControl::ConnectEvent, this,
                [&] { logWhenConnectReturned = session->statusLines; });
        QVERIFY(session->connect());
        QVERIFY(logWhenConnectReturned.constLast().endsWith(u"に接続しました"_s));
    }

    void serverErrorLineIsLogged_data()
    {
        QTest::addColumn<bool>("logInFirst");
        QTest::newRow("before login") << false;
        QTest::newRow("after login") << true;
    }
    void serverErrorLineIsLogged()
    {
        QFETCH(bool, logInFirst);
        QVERIFY(session->connect());
        if (logInFirst)
            QVERIFY(session->logIn());
        server->send("ERROR :Closing Link: Timer[127.0.0.1] (Throttled)\r\n");
        server->closeClient();
        QTRY_VERIFY(!session->statusLines.filter(u"から切断しました"_s).isEmpty());
        const QStringList log = session->statusLines;
        const qsizetype closed = log.indexOf(log.filter(u"から切断しました"_s).constFirst());
        QCOMPARE(log.at(closed - 1), u"[x] Closing Link: Timer[127.0.0.1] (Throttled)"_s);
    }

    void kickOfUsAndOwnPartEndTheSession_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<bool>("quits");
        QTest::addColumn<bool>("kickLogged");
        QTest::newRow("kick") << QByteArray(":op!u@h KICK #chan Timer :bye\r\n") << true << true;
        QTest::newRow("kick of another")
            << QByteArray(":op!u@h KICK #chan Other :bye\r\n") << false << false;
        QTest::newRow("kick, other case")
            << QByteArray(":op!u@h KICK #CHAN Timer :bye\r\n") << false << false;
        QTest::newRow("kick without reason")
            << QByteArray(":op!u@h KICK #chan Timer\r\n") << false << false;
        QTest::newRow("kick inside a message")
            << QByteArray(":a!b@c PRIVMSG #chan :KICK #chan Timer :bye\r\n") << false << false;
        QTest::newRow("kick inside a notice")
            << QByteArray(":a!b@c NOTICE #chan :KICK #chan Timer :bye\r\n") << false << false;
        QTest::newRow("own part") << QByteArray(":Timer!~tmr103@h PART #chan :bye\r\n") << true
                                  << false;
        QTest::newRow("part of another")
            << QByteArray(":Other!~x@h PART #chan :bye\r\n") << false << false;
    }
    void kickOfUsAndOwnPartEndTheSession()
    {
        QFETCH(QByteArray, block);
        QFETCH(bool, quits);
        QFETCH(bool, kickLogged);
        QVERIFY(session->connect());
        QVERIFY(session->logIn());
        QCOMPARE(session->answerTo(block),
                 quits ? QList<QByteArray> {"QUIT"} : QList<QByteArray> {});
        QCOMPARE(session->statusLines.constLast() == u"[i] #chanから追い出されました"_s,
                 kickLogged);
    }

    void disconnectAsksWhileConnected_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("cancel") << IDCANCEL;
        QTest::newRow("OK") << IDOK;
    }
    void disconnectAsksWhileConnected()
    {
        useWindow();
        QFETCH(int, answer);
        QVERIFY(session->connect());
        QVERIFY(session->logIn());
        boxes.answers.enqueue(answer);
        controls(*form).mnuDisconnect->trigger();
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes[0].prompt, u"本当に切断しますか？"_s);
        QCOMPARE(boxes.boxes[0].style, 0x131);
        const bool disconnected = answer == IDOK;
        QCOMPARE(form->session().socket()->State() == SocketControl::sckConnected, !disconnected);
        QCOMPARE(form->session().loggedIn(), !disconnected);
        if (disconnected)
            QVERIFY(server->waitForClientGone());
        QTest::qWait(50);
        QCOMPARE(statusEntries(*form).count(u"[x] irc.testから切断しました"_s),
                 disconnected ? 1 : 0);
        QVERIFY(session->sentSinceMark().isEmpty());
    }

    void serverCloseBringsTheOfflineState()
    {
        useWindow();
        QVERIFY(session->connect());
        QVERIFY(session->logIn());
        controls(*form).txtSend->setText(u"unsent"_s);
        server->closeClient();
        QTRY_VERIFY(!form->session().loggedIn());
        QCOMPARE(statusEntries(*form).mid(statusEntries(*form).size() - 2),
                 (QStringList {u"[x] irc.testから切断しました"_s,
                               u"[+] 5秒後に再接続します（1回目）"_s}));
        QVERIFY(controls(*form).mnuConnect->isEnabled());
        QVERIFY(controls(*form).mnuDisconnect->isEnabled());
        QVERIFY(!controls(*form).txtSend->isEnabled());
        QCOMPARE(controls(*form).txtSend->text(), u"unsent"_s);
        QCOMPARE(controls(*form).txtSend->palette().color(QPalette::Base),
                 systemColour(COLOR_SCROLLBAR));
        QVERIFY(!controls(*form).cmdCount->isEnabled());
        QVERIFY(!controls(*form).cboMinutes->isEnabled());
        QCOMPARE(form->session().server(), u"irc.test"_s);
    }

    void blockReadWhileClosedIsLoggedAsDisconnected()
    {
        QVERIFY(session->connect());
        session->session().socket()->Close();
        emit session->session().socket()->DataArrival(0);
        QCOMPARE(session->statusLines.constLast(), u"[x] 127.0.0.1から切断しました"_s);
    }

    void hostWithoutAddressKeepsTheProgramRunning()
    {
        useWindow();
        ConnectionChoice choice;
        choice.server = u"   "_s;
        choice.port = u"6664"_s;
        form->session().connectTo(choice);
        QTRY_COMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes[0].prompt, u"   に接続できません"_s);
        QCOMPARE(boxes.boxes[0].style, MB_ICONERROR);
        QCOMPARE(boxes.boxes[0].title, u"IRCサーバに接続できません"_s);
        QCOMPARE(statusEntries(*form).constLast(), u"[-]    に接続できません"_s);
        QVERIFY(controls(*form).mnuConnect->isEnabled());
        QVERIFY(termination.exitCodes.isEmpty());
    }

    // A connect of the user's own: refused, it ends the program unless a run is going; over
    // TLS to a certificate nobody vouches for, the user decides, and the program stays.
    void connectsOfTheUsersOwn_data()
    {
        QTest::addColumn<bool>("running");
        QTest::addColumn<int>("certificateAnswer");
        QTest::addColumn<QString>("logged");
        const QString refused = u"[-] 127.0.0.1に接続できません: 接続が拒否されました"_s;
        QTest::newRow("refused, idle") << false << 0 << QString();
        QTest::newRow("refused, during a run") << true << 0 << refused;
        QTest::newRow("certificate, yes") << false << IDYES << u"[+] TLS 1.3で暗号化しました"_s;
        QTest::newRow("certificate, no")
            << false << IDNO
            << u"[-] 127.0.0.1に接続できません: サーバの証明書を確認できませんでした"
               u"（証明書の名前がサーバ名と一致しません、自己署名の証明書です）"_s;
    }
    void connectsOfTheUsersOwn()
    {
        useWindow();
        QFETCH(bool, running);
        QFETCH(int, certificateAnswer);
        QFETCH(QString, logged);
        QSslServer tlsServer;
        QByteArray received;
        QString port = u"1"_s;
        if (certificateAnswer) {
            tlsServer.setSslConfiguration(testCertificate::serverConfiguration());
            QVERIFY(tlsServer.listen(QHostAddress::LocalHost));
            connect(&tlsServer, &QSslServer::pendingConnectionAvailable, this, [&] {
                QTcpSocket *client = tlsServer.nextPendingConnection();
                connect(client, &QTcpSocket::readyRead, this,
                        [&, client] { received += client->readAll(); });
            });
            boxes.answers.enqueue(certificateAnswer);
            port = QString::number(tlsServer.serverPort());
        }
        if (running)
            form->cmdCount_Click();
        ConnectionChoice choice;
        choice.server = u"127.0.0.1"_s;
        choice.port = port;
        choice.nick = u"Timer"_s;
        choice.tls = certificateAnswer != 0;
        choice.password = certificateAnswer ? u"sesame"_s : QString();
        form->session().connectTo(choice);
        QTRY_COMPARE(boxes.boxes.size(), 1);
        if (certificateAnswer) {
            QCOMPARE(boxes.boxes[0].style, MB_WARY_QUESTION);
            QVERIFY(boxes.boxes[0].prompt.contains(QString::fromLatin1(testCertificate::sha256)));
        } else {
            QCOMPARE(boxes.boxes[0].prompt, u"接続が拒否されました"_s);
            QCOMPARE(boxes.boxes[0].style, MB_ICONERROR);
            QCOMPARE(boxes.boxes[0].title, u"kestrion"_s);
        }
        if (certificateAnswer == IDYES) {
            QTRY_VERIFY(received.contains(" :Kestrion\r\n"));
            QVERIFY(received.startsWith("CAP LS 302\r\nPASS sesame\r\nNICK Timer\r\n"));
        }
        if (!logged.isEmpty())
            QTRY_VERIFY(statusEntries(*form).contains(logged));
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(termination.exitCodes.size(), logged.isEmpty() ? 1 : 0);
        if (running) {
            QVERIFY(form->run().tickTimer()->isActive());
            QVERIFY(controls(*form).mnuConnect->isEnabled());
        }
    }

    // The client certificate's file, whatever the user chose: only a certificate with its own
    // key is taken; no file can hang or exhaust the program.
    void certificateFileIsTakenOnlyWithItsKey_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("problem");
        QVERIFY(certificates.make().isEmpty());
        const QString dir = files.path() + u'/';
        QCOMPARE(QProcess::execute(u"openssl"_s,
                                   {u"genpkey"_s, u"-algorithm"_s, u"ed25519"_s, u"-out"_s,
                                    dir + u"ed25519.pem"_s}),
                 0);
        QVERIFY(mkfifo(qPrintable(dir + u"fifo"_s), 0600) == 0);
        const auto contents = [](const QString &path) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        const auto write = [&](const QString &name, const QByteArray &pem) {
            QFile file(dir + name);
            if (file.open(QIODevice::WriteOnly))
                file.write(pem);
            return file.fileName();
        };
        const QByteArray ec = testCertificate::certificatePem;
        const QString notRegular = u"証明書ファイルが通常のファイルではありません"_s;
        QTest::newRow("RSA") << certificates.clientCertificateFile(
            TestCertificates::Kind::OtherSelfSigned)
                             << QString();
        QTest::newRow("EC") << write(u"ec.pem"_s, ec + testCertificate::keyPem) << QString();
        QTest::newRow("another certificate's key")
            << write(u"mixed.pem"_s, ec + contents(certificates.keyFile()))
            << u"証明書ファイルの秘密鍵が証明書と対になっていません"_s;
        QTest::newRow("Ed25519")
            << write(u"ed.pem"_s, ec + contents(dir + u"ed25519.pem"_s))
            << u"Ed25519とEd448の鍵には対応していません（RSAかECDSAの鍵を使ってください）"_s;
        QTest::newRow("a named pipe") << dir + u"fifo"_s << notRegular;
        QTest::newRow("a device") << u"/dev/zero"_s << notRegular;
        QTest::newRow("too large")
            << write(u"large.pem"_s, ec + testCertificate::keyPem + QByteArray(70000, '\n'))
            << u"証明書ファイルが大きすぎます（64 KBまで）"_s;
    }
    void certificateFileIsTakenOnlyWithItsKey()
    {
        QFETCH(QString, path);
        QFETCH(QString, problem);
        const ClientCertificate read = ClientCertificate::read(path);
        QCOMPARE(read.problem.section(u": "_s, 0, 0), problem);
        QCOMPARE(read.key.isNull(), !problem.isEmpty());
    }

private:
    // For the cases about the window: the same session, as the window's own.
    void useWindow()
    {
        session = std::make_unique<ServerSession>(ServerSession::Window::With);
        form = session->form.get();
        server = session->server.get();
    }

    MessageBoxResponder boxes;
    TerminationRecorder termination;
    std::unique_ptr<ServerSession> session;
    frmMain *form = nullptr;
    LoopbackServer *server = nullptr;
    TestCertificates certificates;
    QTemporaryDir files;
};

QTEST_MAIN(tst_connection)
#include "tst_connection.moc"
