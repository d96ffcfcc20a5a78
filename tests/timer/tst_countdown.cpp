#include "app/frmMain.h"
#include "formHelpers.h"
#include "irc/ircSession.h"
#include "messageBoxResponder.h"
#include "platform/cp932.h"
#include "runSchedule.h"
#include "serverSession.h"
#include "timer/measurementRun.h"
#include "timer/tickTimer.h"

#include <QAction>
#include <QComboBox>
#include <QMap>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace Qt::StringLiterals;

using namespace runSchedule;

class tst_countdown : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        session = std::make_unique<ServerSession>();
        form = session->form.get();
        QVERIFY(session->connect());
        QVERIFY(session->logIn());
    }
    void cleanup() { session.reset(); }

    void userStopEndsTheMeasurement_data()
    {
        QTest::addColumn<int>("ticks");
        QTest::newRow("first second") << 12;
        QTest::newRow("at a minute mark") << 71;
        QTest::newRow("after a minute mark") << 72;
        QTest::newRow("last second before the end") << 11 + 60 * 3 - 1;
    }
    void userStopEndsTheMeasurement()
    {
        QFETCH(int, ticks);
        start(u"3"_s);
        for (int t = 1; t <= ticks; ++t)
            form->tmrCountTime_Timer();
        session->markSent();
        const qsizetype logSize = statusEntries(*form).size();
        QTest::mouseClick(controls(*form).cmdCount, Qt::LeftButton);
        QVERIFY(session->waitForSent(4));
        QCOMPARE(decodedSent(),
                 (QStringList {message(u"終了＠"_s), message(u"終了＠"_s), message(u"終了＠"_s),
                               message(u"＠＠＠＠計測中断＠＠＠＠"_s)}));
        QCOMPARE(statusEntries(*form).mid(logSize),
                 (QStringList {u"[t] 計測終了"_s, u"[t] ユーザによる計測中断"_s}));
        expectIdle();
    }

    void controlsFollowTheRun()
    {
        QVERIFY(controls(*form).cmdCount->isEnabled());
        start(u"2"_s);
        QCOMPARE(controls(*form).cmdCount->text(), u"中断"_s);
        QVERIFY(!controls(*form).cmdCount->isEnabled());
        QVERIFY(!controls(*form).cboMinutes->isEnabled());
        QVERIFY(!controls(*form).mnuDisconnect->isEnabled());
        QVERIFY(form->run().tickTimer()->isActive());
        QCOMPARE(form->run().tickTimer()->interval(), 1000);
        for (int t = 1; t <= 10; ++t) {
            form->tmrCountTime_Timer();
            QVERIFY(!controls(*form).cmdCount->isEnabled());
            QTest::mouseClick(controls(*form).cmdCount, Qt::LeftButton);
            QVERIFY(form->run().phase() != MeasurementRun::Phase::Measuring);
        }
        form->tmrCountTime_Timer();
        QVERIFY(form->run().phase() == MeasurementRun::Phase::Measuring);
        QCOMPARE(controls(*form).cmdCount->text(), u"中断"_s);
        QVERIFY(controls(*form).cmdCount->isEnabled());
        QVERIFY(!controls(*form).cboMinutes->isEnabled());
        QVERIFY(!controls(*form).mnuDisconnect->isEnabled());
    }

    void remainingTimeDisplayFollowsItsCheckMark()
    {
        start(u"20"_s);
        tick(11 + 4);
        controls(*form).mnuRestTime->trigger();
        QCOMPARE(form->windowTitle(), base + u" - 計測開始"_s);
        tick(1);
        QCOMPARE(form->windowTitle(), base + u" - 残り19:55"_s);
        tick(1);
        QCOMPARE(form->windowTitle(), base + u" - 残り19:54"_s);
        controls(*form).mnuRestTime->trigger();
        QCOMPARE(form->windowTitle(), base + u" - 残り19:54"_s);
        tick(1);
        QCOMPARE(form->windowTitle(), base + u" - 00:07経過"_s);
    }

    void runKeepsTimeWhenTheConnectionDrops()
    {
        start(u"1"_s);
        tick(20);
        session->server->closeClient();
        QTRY_VERIFY(!form->session().loggedIn());
        QVERIFY(controls(*form).cmdCount->isEnabled());
        QVERIFY(!controls(*form).cboMinutes->isEnabled());
        // Only to stop the reconnection that is due.
        QVERIFY(form->session().isReconnecting());
        QVERIFY(controls(*form).mnuDisconnect->isEnabled());
        tick(51);
        const QString unsent = u"[-] 未接続のため送信できません: PRIVMSG #chan :終了＠"_s;
        QCOMPARE(statusEntries(*form).count(unsent), 3);
        QCOMPARE(statusEntries(*form).constLast(), u"[t] 計測終了"_s);
        QCOMPARE(form->windowTitle(), base);
        QVERIFY(!form->run().tickTimer()->isActive());
        QCOMPARE(controls(*form).cmdCount->text(), u"開始"_s);
        QVERIFY(!controls(*form).cmdCount->isEnabled());
        QVERIFY(!controls(*form).cboMinutes->isEnabled());
        QVERIFY(controls(*form).mnuDisconnect->isEnabled());
        QVERIFY(controls(*form).mnuConnect->isEnabled());
    }

    void loginDuringARunLeavesTheRunsControls()
    {
        start(u"2"_s);
        const auto dueBeforeTheDrop = form->run().tickTimer()->nextDue();
        tick(3);
        session->server->closeClient();
        QTRY_VERIFY(!form->session().loggedIn());
        QVERIFY(session->connect());
        QVERIFY(session->logIn());
        // The reconnection neither restarts nor shifts the run's deadlines.
        QVERIFY(form->run().tickTimer()->isActive());
        QCOMPARE((form->run().tickTimer()->nextDue() - dueBeforeTheDrop) % std::chrono::seconds(1),
                 std::chrono::nanoseconds(0));
        QVERIFY(!controls(*form).cmdCount->isEnabled());
        QVERIFY(!controls(*form).cboMinutes->isEnabled());
        QVERIFY(!controls(*form).mnuDisconnect->isEnabled());
        tick(8);
        QVERIFY(form->run().phase() == MeasurementRun::Phase::Measuring);
        QVERIFY(controls(*form).cmdCount->isEnabled());
        QVERIFY(!controls(*form).cboMinutes->isEnabled());
        tick(120);
        expectIdle();
        QVERIFY(session->waitForSent(3));
        QCOMPARE(decodedSent().mid(decodedSent().size() - 3),
                 (QStringList {message(u"終了＠"_s), message(u"終了＠"_s), message(u"終了＠"_s)}));
    }

    void startValidatesATextThatNeverLostTheFocus()
    {
        MessageBoxResponder boxes;
        controls(*form).cboMinutes->setEditText(u"abc"_s);
        form->cmdCount_Click();
        QCOMPARE(boxes.boxes.size(), 1);
        QVERIFY(session->waitForSent(1));
        QCOMPARE(decodedSent().constFirst(), notice(u"計測時間20分 カウント開始"_s));
    }

private:
    void start(const QString &minutes)
    {
        controls(*form).cboMinutes->setEditText(minutes);
        session->markSent();
        form->cmdCount_Click();
        // Ticks are driven by hand; the real timer stays running but is not heard.
        form->run().tickTimer()->blockSignals(true);
    }
    void tick(int count)
    {
        for (int i = 0; i < count; ++i)
            form->tmrCountTime_Timer();
    }

    QStringList decodedSent()
    {
        QStringList lines; // the PING that times a group's arrival is no announcement
        for (const QByteArray &line : session->sentSinceMark()) {
            if (!line.startsWith("PING :kestrion-"))
                lines << platform::Cp932Decoder().decode(line);
        }
        return lines;
    }

    QStringList timerEntries() const
    {
        return statusEntries(*form).filter(QRegularExpression(u"^\\[t\\] "_s));
    }

    void expectIdle()
    {
        QVERIFY(form->run().phase() != MeasurementRun::Phase::Measuring);
        QVERIFY(!form->run().tickTimer()->isActive());
        QCOMPARE(controls(*form).cmdCount->text(), u"開始"_s);
        QVERIFY(controls(*form).cmdCount->isEnabled());
        QVERIFY(controls(*form).cboMinutes->isEnabled());
        QVERIFY(controls(*form).mnuDisconnect->isEnabled());
        QCOMPARE(form->windowTitle(), base);
    }

    std::unique_ptr<ServerSession> session;
    frmMain *form = nullptr;
};

QTEST_MAIN(tst_countdown)
#include "tst_countdown.moc"
