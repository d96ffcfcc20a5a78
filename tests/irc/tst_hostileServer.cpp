#include "app/frmConnect.h"
#include "app/frmMain.h"
#include "app/frmServerLog.h"
#include "app/logView.h"
#include "formHelpers.h"
#include "irc/ircSession.h"
#include "irc/socketControl.h"
#include "messageBoxResponder.h"
#include "platform/instanceLock.h"
#include "serverSession.h"
#include "timer/measurementRun.h"
#include "timer/tickTimer.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

qsizetype openFileDescriptors()
{
    return QDir(u"/proc/self/fd"_s).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size();
}

double residentMb()
{
    QFile status(u"/proc/self/status"_s);
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return 0;
}

} // namespace

// Servers that misbehave, and what the program does about it: it keeps running, says what
// happened, keeps what arrived, and a run in progress keeps time.
class tst_hostileServer : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        session = std::make_unique<ServerSession>();
        form = session->form.get();
    }
    void cleanup()
    {
        session.reset();
        boxes.boxes.clear();
        boxes.answers.clear();
    }

    void hostileBlocksLeaveTheRunOnTime_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QString>("kept");
        QTest::newRow("1 MB without a line end") << QByteArray(1 << 20, 'x') << QString();
        QTest::newRow("NUL bytes") << QByteArray("a\0b\0\0c\r\n", 8) << u"a\u0000b"_s;
        QTest::newRow("invalid CP932") << QByteArray("\xff\xfe\x80\xa0 tail\r\n") << u" tail"_s;
        QTest::newRow("lead byte at the edge") << QByteArray("edge \x8a") << u"edge "_s;
        QTest::newRow("HTML") << QByteArray(":op!u@h KICK #chan Other :<b>x</b><img src=y>\r\n")
                              << u"<b>x</b><img src=y>"_s;
    }
    void hostileBlocksLeaveTheRunOnTime()
    {
        QFETCH(QByteArray, block);
        QFETCH(QString, kept);
        QVERIFY(session->connect());
        QVERIFY(session->logIn());
        startRun(u"1"_s);
        tick(15);
        session->server->send(block);
        // Kept whole: a long block arrives in several reads, each under its own time stamp.
        if (kept.isEmpty())
            QTRY_COMPARE(form->serverLog().txtRec->logText().count(u'x'), block.size());
        else
            QTRY_VERIFY(form->serverLog().txtRec->logText().remove(u'\n').contains(kept));
        tick(56);
        const QByteArray end = "PRIVMSG #chan :\x8f\x49\x97\xb9\x81\x97\r\n"; // 終了＠
        QVERIFY(session->server->waitForReceived(end + end + end));
        QVERIFY(form->session().loggedIn());
        QVERIFY(!form->run().tickTimer()->isActive());
    }

    void closeOrResetDuringARun_data()
    {
        QTest::addColumn<bool>("reset");
        QTest::addColumn<int>("ticksBefore");
        QTest::newRow("close in the countdown") << false << 3;
        QTest::newRow("reset in the countdown") << true << 3;
        QTest::newRow("close in the measurement") << false << 30;
        QTest::newRow("reset in the measurement") << true << 30;
    }
    void closeOrResetDuringARun()
    {
        QFETCH(bool, reset);
        QFETCH(int, ticksBefore);
        QVERIFY(session->connect());
        QVERIFY(session->logIn());
        startRun(u"1"_s);
        tick(ticksBefore);
        if (reset)
            session->server->resetClient();
        else
            session->server->closeClient();
        QTRY_VERIFY(!form->session().loggedIn());
        QVERIFY(statusEntries(*form).contains(u"[x] irc.testから切断しました"_s));
        tick(71 - ticksBefore);
        QVERIFY(!form->run().tickTimer()->isActive());
        QCOMPARE(statusEntries(*form).constLast(), u"[t] 計測終了"_s);
        QCOMPARE(
            statusEntries(*form).count(u"[-] 未接続のため送信できません: PRIVMSG #chan :終了＠"_s),
            3);
    }

    void serverThatNeverEndsItsLoginCanBeLeft()
    {
        connectFromTheDialog();
        QVERIFY(controls(*form).mnuDisconnect->isEnabled());
        QVERIFY(session->sendHandled(":irc.test 001 Timer :Welcome\r\n"));
        QVERIFY(!form->session().loggedIn());
        QVERIFY(controls(*form).mnuDisconnect->isEnabled());
        boxes.answers.enqueue(platform::IDOK);
        controls(*form).mnuDisconnect->trigger();
        QCOMPARE(boxes.boxes.size(), 1);
        QVERIFY(session->server->waitForClientGone());
        QVERIFY(controls(*form).mnuConnect->isEnabled());
        QVERIFY(!controls(*form).mnuDisconnect->isEnabled());
        QCOMPARE(statusEntries(*form).constLast(), u"[x] irc.testから切断しました"_s);
    }

    void serverThatNeverAnswers()
    {
        QVERIFY(session->connect());
        QTest::qWait(300);
        QVERIFY(!form->session().loggedIn());
        QCOMPARE(session->server->receivedLines().size(), 3);
        boxes.answers.enqueue(platform::IDOK);
        form->mnuDisconnect_Click();
        QVERIFY(session->server->waitForClientGone());
        QVERIFY(controls(*form).mnuConnect->isEnabled());
    }

    void serverThatAnswersOneByteAtATime()
    {
        QVERIFY(session->connect());
        const QByteArray reply = ServerSession::greeting + ServerSession::endOfMotd;
        for (char byte : reply) {
            session->server->send(QByteArray(1, byte));
            QTest::qWait(1);
        }
        const auto arrived = [this] {
            static const QRegularExpression stamp(u"^\\d\\d:\\d\\d:\\d\\d$"_s);
            QString text;
            for (const QString &line : form->serverLog().txtRec->logText().split(u'\n')) {
                if (!stamp.match(line).hasMatch())
                    text += line;
            }
            return text;
        };
        QTRY_COMPARE(arrived(), QString::fromLatin1(reply).remove(u'\r').remove(u'\n'));
        QTRY_VERIFY(form->session().loggedIn());
    }

    void manyConnectsAndDisconnectsLeakNothing()
    {
        boxes.answers.clear();
        const auto cycle = [this] {
            connectFromTheDialog();
            form->mnuDisconnect_Click();
            QVERIFY(QTest::qWaitFor([this] { return controls(*form).mnuConnect->isEnabled(); }));
        };
        for (int i = 0; i < 5; ++i)
            cycle();
        QTest::qWait(100);
        const qsizetype fdsBefore = openFileDescriptors();
        const double rssBefore = residentMb();
        for (int i = 0; i < 100; ++i) {
            cycle();
            if (QTest::currentTestFailed())
                return;
        }
        QTest::qWait(100);
        QVERIFY2(openFileDescriptors() <= fdsBefore + 1,
                 qPrintable(u"%1 -> %2"_s.arg(fdsBefore).arg(openFileDescriptors())));
#ifndef __SANITIZE_ADDRESS__
        // AddressSanitizer holds freed memory back on purpose (and reports real leaks itself).
        QVERIFY2(residentMb() < rssBefore + 8,
                 qPrintable(u"%1 -> %2 MB"_s.arg(rssBefore).arg(residentMb())));
#else
        Q_UNUSED(rssBefore);
#endif
    }

    void serverTextIsShownAsPlainText()
    {
        QVERIFY(session->connect());
        session->server->send(":<b>x</b><img 020 * :wait\r\n");
        QTRY_COMPARE(statusEntries(*form).constLast(), u"[+] 現在<b>x</b><imgに接続しています"_s);
        QCOMPARE(form->session().server(), u"<b>x</b><img"_s);
    }

    void messageBoxesShowMarkupAsText()
    {
        // A real box this time, read while it is open and then closed.
        platform::setMessageBoxHook({});
        const auto answerAgain = qScopeGuard([this] { boxes.install(); });
        QString shownText;
        Qt::TextFormat shownFormat = Qt::AutoText;
        QTimer::singleShot(0, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                shownText = box->text();
                shownFormat = box->textFormat();
                box->accept();
            }
        });
        platform::messageBox(u"<b>x</b><img src=y>に接続できません"_s, platform::MB_ICONERROR);
        QCOMPARE(shownFormat, Qt::PlainText);
        QCOMPARE(shownText, u"<b>x</b><img src=y>に接続できません"_s);
    }

    void killedCopyDoesNotBlockTheNextStart()
    {
        QTemporaryDir runtime;
        QFile::setPermissions(runtime.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                  | QFileDevice::ExeOwner);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        const QString lockFile = runtime.filePath(u"kestrion.lock"_s);
        const auto lockOwner = [&] {
            QFile file(lockFile);
            return file.open(QIODevice::ReadOnly) ? file.readLine().trimmed().toLongLong() : 0;
        };

        QProcess first;
        first.setProcessEnvironment(environment);
        first.start(QStringLiteral(KESTRION_BINARY), {});
        QVERIFY(first.waitForStarted());
        QTRY_COMPARE(lockOwner(), first.processId());
        first.kill();
        QVERIFY(first.waitForFinished());

        QProcess second;
        second.setProcessEnvironment(environment);
        second.start(QStringLiteral(KESTRION_BINARY), {});
        QVERIFY(second.waitForStarted());
        QTRY_COMPARE(lockOwner(), second.processId());
        second.kill();
        second.waitForFinished();
    }

private:
    void connectFromTheDialog()
    {
        frmConnect &dialog = form->connectDialog();
        connectControls(dialog).cboServer->setEditText(u"127.0.0.1"_s);
        connectControls(dialog).cboPort->setEditText(session->server->portText());
        dialog.cmdConnect_Click();
        QVERIFY(QTest::qWaitFor(
            [this] { return session->server->received().endsWith(" :Kestrion\r\n"); }));
    }

    void startRun(const QString &minutes)
    {
        controls(*form).cboMinutes->setEditText(minutes);
        form->cmdCount_Click();
        form->run().tickTimer()->blockSignals(true);
    }
    void tick(int count)
    {
        for (int i = 0; i < count; ++i)
            form->tmrCountTime_Timer();
    }

    MessageBoxResponder boxes;
    std::unique_ptr<ServerSession> session;
    frmMain *form = nullptr;
};

QTEST_MAIN(tst_hostileServer)
#include "tst_hostileServer.moc"
