#include "announcements.h"
#include "app/frmMain.h"
#include "app/frmServerLog.h"
#include "app/logView.h"
#include "formHelpers.h"
#include "irc/ircSession.h"
#include "irc/socketControl.h"
#include "linkProxy.h"
#include "nameServer.h"
#include "namespaceRerun.h"
#include "platform/cp932.h"
#include "programSession.h"
#include "terminationRecorder.h"
#include "timer/measurementRun.h"
#include "timer/tickTimer.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QString channel = u"#Durmast_Test"_s;
const QByteArray markup = "<b>x</b><img src=y>";

} // namespace

// The program loses the real server in the middle of a run, because the server dies or an IRC
// operator throws it out: it stays up, says what happened, and the run still ends on the second
// it was due.
class tst_e2eServerLost : public QObject
{
    Q_OBJECT

private slots:
    void runKeepsTimeWhenTheServerIsLost_data()
    {
        QTest::addColumn<bool>("byOperator");
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<int>("killAtMs");
        QTest::addColumn<int>("endMs");
        QTest::addColumn<QString>("lastAnnouncement");
        QTest::addColumn<int>("unsentAtLeast");

        QTest::newRow("killed in the countdown")
            << false << u"0"_s << 4500 << 11000 << u"0＠"_s << 6;
        QTest::newRow("killed in the measurement")
            << false << u"1"_s << 30500 << 71000 << u"終了＠"_s << 3;
        // The operator's KILL leaves the server running: the program logs in again before the
        // end, and nothing is left unsent.
        QTest::newRow("killed by an operator in the measurement")
            << true << u"1"_s << 30500 << 71000 << QString() << 0;
    }

    void runKeepsTimeWhenTheServerIsLost()
    {
        QFETCH(bool, byOperator);
        QFETCH(QString, minutes);
        QFETCH(int, killAtMs);
        QFETCH(int, endMs);
        QFETCH(QString, lastAnnouncement);
        QFETCH(int, unsentAtLeast);

        ChannelSession session;
        const QString failure = session.start(channel);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        frmMain &form = session.form;
        const QString idleCaption = form.windowTitle();

        QElapsedTimer sinceClick;
        qint64 endedAtMs = -1;
        connect(&form, &QWidget::windowTitleChanged, &form, [&](const QString &caption) {
            if (caption == idleCaption && endedAtMs < 0)
                endedAtMs = sinceClick.elapsed();
        });
        controls(form).cboMinutes->setEditText(minutes);
        QTest::qWait(15000); // irc2's account drains of the login, or the run would wait
        sinceClick.start();
        form.cmdCount_Click();
        QTRY_VERIFY_WITH_TIMEOUT(sinceClick.elapsed() >= killAtMs, killAtMs + 1000);
        QVERIFY(form.run().tickTimer()->isActive());
        if (byOperator) {
            // Invalid CP932 and markup reach the program first, then the server closes the
            // link with the operator's reason.
            QVERIFY(session.observer.becomeOperator());
            session.observer.send("PRIVMSG " + channel.toLatin1() + " :\x82\xa0\xff\x80" + markup
                                  + "\x81");
            session.observer.send("KILL Timer :" + markup);
        } else {
            session.server.stop();
        }

        QTRY_VERIFY_WITH_TIMEOUT(!form.session().loggedIn(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(endedAtMs >= 0, endMs + 5000);
        qInfo().noquote() << u"run ended %1 ms after the click"_s.arg(endedAtMs);
        QVERIFY2(endedAtMs >= endMs - 20 && endedAtMs <= endMs + 500,
                 qPrintable(QString::number(endedAtMs)));

        const QStringList entries = statusEntries(form);
        QVERIFY(entries.filter(u"[x] "_s).filter(u"から切断しました"_s).size() == 1);
        const QStringList unsent = entries.filter(u"[-] 未接続のため送信できません: "_s);
        QVERIFY2(unsent.size() >= unsentAtLeast, qPrintable(unsent.join(u'\n')));
        if (byOperator) {
            QVERIFY(unsent.isEmpty());
            QCOMPARE(entries.filter(u"[+] 再接続しました（"_s).size(), 1);
            // The whole run, its end after the KILL included.
            QTRY_COMPARE(session.observer.saidBy("Timer").size(), oneMinuteRun().size());
        } else {
            QCOMPARE(unsent.constLast(),
                     u"[-] 未接続のため送信できません: PRIVMSG "_s + channel + u" :"_s
                         + lastAnnouncement);
        }
        const QString serverLog = form.serverLog().txtRec->logText();
        QVERIFY(serverLog.contains(u" 376 Timer "_s));
        if (byOperator) {
            QVERIFY(serverLog.contains(u"<b>x</b><img src=y>\uFFFD"_s));
            QVERIFY(serverLog.contains(u"ERROR :Closing Link: "_s));
        }
        QVERIFY(session.boxes.boxes.isEmpty());
        // A run that ends offline leaves the offline look: only connecting is offered.
        QCOMPARE(controls(form).mnuConnect->isEnabled(), !byOperator);
        QCOMPARE(controls(form).cmdCount->isEnabled(), byOperator);
        QCOMPARE(controls(form).cmdCount->text(), u"開始"_s);
    }

    // The server stops in the middle of a run and comes back 20 s later on the same port: the
    // program logs in again on its own, and the run's last announcements reach the channel on
    // time.
    void runSurvivesTheServerRestarting()
    {
        ChannelSession session;
        const QString failure = session.start(channel);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        frmMain &form = session.form;
        // IRCnet-style servers hold back a client that is far ahead of its line budget.
        QTest::qWait(15000);
        controls(form).cboMinutes->setEditText(u"1"_s);
        QElapsedTimer sinceClick;
        sinceClick.start();
        form.cmdCount_Click();
        QTRY_VERIFY_WITH_TIMEOUT(sinceClick.elapsed() >= 14000, 15000);
        session.server.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!form.session().loggedIn(), 5000);
        QTest::qWait(20000);
        QVERIFY2(session.server.start(), qPrintable(session.server.failure()));
        IrcObserver observer;
        QVERIFY(observer.logIn(session.server.port(), "Observer"));
        QVERIFY(observer.join(channel.toLatin1()));
        QTRY_VERIFY_WITH_TIMEOUT(form.session().loggedIn(), 45000);
        QVERIFY(observer.waitForLine("JOIN :" + channel.toLatin1(), 5000));
        qInfo().noquote() << u"logged in again %1 ms after the click"_s.arg(sinceClick.elapsed());

        QTRY_VERIFY_WITH_TIMEOUT(observer.saidBy("Timer").size() >= 3, 40000);
        // The click, on the clock of the observer that came after it.
        const qint64 clickMs = observer.clock().elapsed() - sinceClick.elapsed();
        compareAnnouncements(observer.saidBy("Timer"), oneMinuteRun().mid(9), clickMs, 500);
        const QStringList entries = statusEntries(form);
        QVERIFY(entries.contains(u"[+] 5秒後に再接続します（1回目）"_s));
        QVERIFY(entries.contains(u"[-] 再接続できませんでした（1回目）: 接続が拒否されました"_s));
        QCOMPARE(entries.filter(u"[+] 再接続しました（"_s).size(), 1);
        QVERIFY(entries.filter(u"[-] 未接続のため送信できません: "_s).isEmpty());
        QVERIFY(session.boxes.boxes.isEmpty());
        QVERIFY(controls(form).cmdCount->isEnabled());
    }

    // The link drops half a second into a countdown, and the reconnection's login takes three
    // seconds: nothing reaches the server before the JOIN, every line the channel missed is in
    // the status log, and the lines after the login arrive on time.
    void announcementsDuringASlowLoginAreLoggedNotLost()
    {
        IrcServer server;
        QVERIFY2(server.start(), qPrintable(server.failure()));
        IrcObserver observer;
        QVERIFY(observer.logIn(server.port(), "Observer"));
        QVERIFY(observer.join(channel.toLatin1()));
        LinkProxy proxy(server.port());
        QVERIFY(proxy.listen());
        MessageBoxResponder boxes;
        frmMain form;
        form.show();
        connectThroughDialog(form, proxy.portText(), u"Timer"_s, channel);
        QTRY_VERIFY_WITH_TIMEOUT(form.session().loggedIn(), 15000);
        // The server holds back the lines of a client far ahead of its line budget, and those
        // it still holds when the link is cut are lost on its side.
        QTest::qWait(15000);

        controls(form).cboMinutes->setEditText(u"0"_s);
        QElapsedTimer sinceClick;
        sinceClick.start();
        const qint64 clickMs = proxy.clock().elapsed();
        form.cmdCount_Click();
        QTRY_VERIFY_WITH_TIMEOUT(sinceClick.elapsed() >= 500, 1500);
        proxy.setServerDelayMs(3000);
        proxy.cutAll();
        QTRY_VERIFY_WITH_TIMEOUT(form.session().isReconnecting(), 2000);
        QTRY_VERIFY_WITH_TIMEOUT(form.session().loggedIn(), 15000);
        qInfo().noquote() << u"logged in again %1 ms after the click"_s.arg(sinceClick.elapsed());
        QTRY_VERIFY_WITH_TIMEOUT(!form.run().tickTimer()->isActive(), 15000);
        // The proxy reads on the program's own event loop, some passes after the program wrote;
        // lines arrive in order, so once it has one written after the run, it has the run's.
        QVERIFY(form.session().socket()->SendData(u"PING :sentinel\r\n"_s));
        QTRY_VERIFY(proxy.sentLines().constLast().line == "PING :sentinel");

        const QList<LinkProxy::SentLine> sent = proxy.sentLines();
        const auto joinAgain = std::find_if(sent.cbegin(), sent.cend(), [](const auto &line) {
            return line.connection == 1 && line.line.startsWith("JOIN ");
        });
        QVERIFY(joinAgain != sent.cend());
        for (auto line = sent.cbegin(); line != joinAgain; ++line) {
            const bool channelText
                = line->line.startsWith("PRIVMSG") || line->line.startsWith("NOTICE");
            QVERIFY2(line->connection == 0 || !channelText, line->line.constData());
        }
        // Each announcement left the program on time, or is in the status log as unsent.
        const QStringList unsent
            = statusEntries(form).filter(u"[-] 未接続のため送信できません: "_s);
        QVERIFY2(unsent.size() >= 3, qPrintable(unsent.join(u'\n')));
        QList<Announcement> reached;
        for (const Announcement &announcement : countdownOnlyRun()) {
            const QByteArray wire = announcement.command + ' ' + channel.toLatin1() + " :"
                + platform::encodeCp932(announcement.text);
            if (unsent.contains(u"[-] 未接続のため送信できません: "_s
                                + QString::fromLatin1(wire.left(wire.indexOf(':') + 1))
                                + announcement.text))
                continue;
            reached << announcement;
            const auto line = std::find_if(sent.cbegin(), sent.cend(),
                                           [&](const auto &line) { return line.line == wire; });
            QVERIFY2(line != sent.cend(), qPrintable(announcement.text));
            const qint64 lateMs = line->arrivedMs - clickMs - announcement.idealMs;
            qInfo().noquote() << u"%1: %2 ms"_s.arg(announcement.text).arg(lateMs);
            QVERIFY2(lateMs >= -20 && lateMs <= 500, qPrintable(announcement.text));
        }
        // The server's flood control may hold them back, but the channel gets them all.
        QTRY_COMPARE_WITH_TIMEOUT(observer.saidBy("Timer").size(), reached.size(), 15000);
        QCOMPARE(observer.saidBy("Timer").constLast().text, reached.constLast().text);
        QVERIFY(boxes.boxes.isEmpty());
    }

    // The server is gone in the middle of a countdown, and the user connects to it again by
    // hand before it is back: the refusal is shown, and the program and the run go on.
    void refusedConnectDuringARunLeavesTheRunGoing()
    {
        ChannelSession session;
        const QString failure = session.start(channel);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        TerminationRecorder termination;
        frmMain &form = session.form;
        controls(form).cboMinutes->setEditText(u"0"_s);
        QElapsedTimer sinceClick;
        QTest::qWait(15000); // irc2's account drains of the login, or the run would wait
        sinceClick.start();
        form.cmdCount_Click();
        session.server.stop();
        QTRY_VERIFY_WITH_TIMEOUT(form.session().isReconnecting(), 5000);
        QTimer::singleShot(0, &form, [&] {
            connectThroughDialog(form, session.server.portText(), u"Timer"_s, channel);
        });
        controls(form).mnuConnect->trigger();
        QTRY_COMPARE(session.boxes.boxes.size(), 1);
        QCOMPARE(session.boxes.boxes[0].prompt, u"接続が拒否されました"_s);
        QVERIFY(
            statusEntries(form).contains(u"[-] 127.0.0.1に接続できません: 接続が拒否されました"_s));
        QVERIFY(controls(form).mnuConnect->isEnabled());
        QVERIFY(!form.session().isReconnecting());
        QVERIFY(form.run().tickTimer()->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!form.run().tickTimer()->isActive(), 15000);
        qInfo().noquote() << u"run ended %1 ms after the click"_s.arg(sinceClick.elapsed());
        QVERIFY(sinceClick.elapsed() >= 11000 - 20);
        QCOMPARE(statusEntries(form).filter(u"[-] 未接続のため送信できません: "_s).constLast(),
                 u"[-] 未接続のため送信できません: PRIVMSG "_s + channel + u" :0＠"_s);
        QVERIFY(termination.exitCodes.isEmpty());
    }

    void disconnectAndKickEndItForGood_data()
    {
        QTest::addColumn<bool>("kick");
        QTest::newRow("サーバ → 切断") << false;
        QTest::newRow("kicked by an operator of the channel") << true;
    }
    void disconnectAndKickEndItForGood()
    {
        QFETCH(bool, kick);
        // ircd-irc2 alone makes nobody a channel operator (it counts itself split from its
        // network); ngIRCd makes the observer one, who made the channel.
        ChannelSession session(IrcServer::Family::Ngircd);
        const QString failure = session.start(channel);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        frmMain &form = session.form;
        QVERIFY(session.observer.waitForLine(":Timer!~tmr103@127.0.0.1 JOIN"));
        if (kick)
            session.observer.send("KICK " + channel.toLatin1() + " Timer :enough");
        else
            controls(form).mnuDisconnect->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!statusEntries(form).filter(u"から切断しました"_s).isEmpty(),
                                 5000);
        QVERIFY(!form.session().isReconnecting());
        QVERIFY(statusEntries(form).filter(u"再接続"_s).isEmpty());
        QVERIFY(controls(form).mnuConnect->isEnabled());
        QVERIFY(!controls(form).mnuDisconnect->isEnabled());
    }

    // The link dies without a word (a NAT that forgets it, a cable pulled): every packet of the
    // connection is dropped inside a private network namespace, with the program's detection
    // shortened from its real value.
    void deadLinkIsNoticedAndTheRunKeepsTime_data()
    {
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<int>("dropAtMs");
        QTest::addColumn<QString>("lastAnnouncement");
        QTest::newRow("sending in the countdown") << u"0"_s << 1500 << u"0＠"_s;
        QTest::newRow("idle in the measurement") << u"1"_s << 13000 << u"終了＠"_s;
    }
    void deadLinkIsNoticedAndTheRunKeepsTime()
    {
        if (!namespaceRerun::isRerun()) {
            const QString failure
                = namespaceRerun::rerun({u"-n"_s, u"-m"_s}, namespaceRerun::loopbackOnlySetup());
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            return;
        }
        QFETCH(QString, minutes);
        QFETCH(int, dropAtMs);
        QFETCH(QString, lastAnnouncement);
        constexpr int deadLinkSeconds = 4;

        NameServer nameServer;
        QVERIFY(nameServer.listen());
        ChannelSession session;
        session.form.session().socket()->setDeadLinkSeconds(deadLinkSeconds);
        const QString failure = session.start(channel);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        frmMain &form = session.form;
        const QString idleCaption = form.windowTitle();
        bool ended = false;
        connect(&form, &QWidget::windowTitleChanged, &form,
                [&](const QString &caption) { ended = ended || caption == idleCaption; });

        QElapsedTimer sinceClick;
        controls(form).cboMinutes->setEditText(minutes);
        sinceClick.start();
        form.cmdCount_Click();
        QTRY_VERIFY_WITH_TIMEOUT(sinceClick.elapsed() >= dropAtMs, dropAtMs + 1000);
        // On a busy machine the filter takes a while to go up; packets still pass meanwhile.
        const QTime dropStartedAt = QTime::currentTime();
        const QString port = session.server.portText();
        QCOMPARE(QProcess::execute(u"sh"_s,
                                   {u"-c"_s,
                                    u"nft add table inet t && nft add chain inet t c "
                                    u"'{ type filter hook input priority 0; }' && "
                                    u"nft add rule inet t c tcp dport %1 drop && "
                                    u"nft add rule inet t c tcp sport %1 drop"_s.arg(port)}),
                 0);
        const QTime droppedAt = QTime::currentTime();

        QElapsedTimer sinceDrop;
        sinceDrop.start();
        QTRY_VERIFY_WITH_TIMEOUT(!form.session().loggedIn(), (deadLinkSeconds + 5) * 1000);
        qInfo().noquote() << u"dead link noticed %1 ms after the drop"_s.arg(sinceDrop.elapsed());
        QVERIFY(controls(form).mnuConnect->isEnabled());
        QVERIFY(!controls(form).txtSend->isEnabled());
        const QStringList lost
            = statusEntries(form).filter(u"以降に送った行はサーバに届いていないおそれがあります"_s);
        QCOMPARE(lost.size(), 1);
        // The last acknowledgement came before the drop, and not long before.
        const QTime lostSince = QTime::fromString(lost[0].mid(4, 8), u"HH:mm:ss"_s);
        QVERIFY2(lostSince.isValid() && lostSince.secsTo(droppedAt) >= 0
                     && lostSince.secsTo(dropStartedAt) <= 3,
                 qPrintable(lost[0]));

        QTRY_VERIFY_WITH_TIMEOUT(ended, 75000);
        const QStringList entries = statusEntries(form);
        QCOMPARE(entries.filter(u"[x] "_s).filter(u"から切断しました"_s).size(), 1);
        QCOMPARE(entries.filter(u"[-] 未接続のため送信できません: "_s).constLast(),
                 u"[-] 未接続のため送信できません: PRIVMSG "_s + channel + u" :"_s
                     + lastAnnouncement);
        QVERIFY(session.boxes.boxes.isEmpty());
    }
};

QTEST_MAIN(tst_e2eServerLost)
#include "tst_e2eServerLost.moc"
