#include "app/frmMain.h"
#include "formHelpers.h"
#include "irc/ircSession.h"
#include "messageBoxResponder.h"
#include "platform/cp932.h"
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

namespace {

// The lines the server should receive, by tick; tick 0 is the start click.
using Schedule = QMap<int, QStringList>;

QString message(const QString &text)
{
    return u"PRIVMSG #chan :"_s + text;
}

QString notice(const QString &text)
{
    return u"NOTICE #chan :"_s + text;
}

const QString base = u"ケストリオン"_s;

// Ticks 1 to 11 of a timed run (N > 0): the marked countdown, then the start.
Schedule timedCountdown(int minutes)
{
    return {{0, {notice(u"計測時間%1分 カウント開始"_s.arg(minutes))}},
            {1, {message(u"10＠"_s)}},
            {6, {message(u"5＠"_s)}},
            {7, {message(u"4＠"_s)}},
            {8, {message(u"3＠"_s)}},
            {9, {message(u"2＠"_s)}},
            {10, {message(u"1＠"_s)}},
            {11, {message(u"0＠"_s), message(u"開始！＠"_s)}}};
}

// A timed run whose minute marks all read alike: each minute k sends "k分経過＠", the
// remaining-minutes notice starts at firstNoticeMinute, and the end sends "終了＠" three times.
Schedule timedRun(int minutes, int firstNoticeMinute)
{
    Schedule schedule = timedCountdown(minutes);
    for (int k = 1; k < minutes; ++k) {
        QStringList lines {message(u"%1分経過＠"_s.arg(k))};
        if (k >= firstNoticeMinute)
            lines << notice(u"残り%1分"_s.arg(minutes - k));
        schedule.insert(11 + 60 * k, lines);
    }
    schedule.insert(11 + 60 * minutes,
                    {message(u"終了＠"_s), message(u"終了＠"_s), message(u"終了＠"_s)});
    return schedule;
}

QStringList timerLog(const QList<int> &fiveMinuteMarks)
{
    QStringList log {u"[t] カウント開始"_s, u"[t] 計測開始"_s};
    for (int k : fiveMinuteMarks)
        log << u"[t] 開始から%1分経過"_s.arg(k);
    log << u"[t] 計測終了"_s;
    return log;
}

} // namespace

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

    void formatMinSec_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << u"00:00"_s;
        QTest::newRow("5") << 5 << u"00:05"_s;
        QTest::newRow("65") << 65 << u"01:05"_s;
        QTest::newRow("1195") << 1195 << u"19:55"_s;
        QTest::newRow("5999") << 5999 << u"99:59"_s;
        QTest::newRow("7200") << 7200 << u"120:00"_s;
    }
    void formatMinSec()
    {
        QFETCH(int, seconds);
        QFETCH(QString, text);
        QCOMPARE(FormatMinSec(qint16(seconds)), text);
    }

    void countdownOnlyRun()
    {
        const Schedule schedule {{0, {notice(u"計測時間0分 カウント開始"_s)}},
                                 {1, {message(u"10＠"_s)}},
                                 {2, {message(u"9"_s)}},
                                 {3, {message(u"8"_s)}},
                                 {4, {message(u"7"_s)}},
                                 {5, {message(u"6"_s)}},
                                 {6, {message(u"5＠"_s)}},
                                 {7, {message(u"4＠"_s)}},
                                 {8, {message(u"3＠"_s)}},
                                 {9, {message(u"2＠"_s)}},
                                 {10, {message(u"1＠"_s)}},
                                 {11, {message(u"0＠"_s)}}};
        const QMap<int, QString> captions {{1, base + u" - カウント10"_s},
                                           {5, base + u" - カウント6"_s},
                                           {10, base + u" - カウント1"_s},
                                           {11, base}};
        run(u"0"_s, 11, schedule, captions);
        QCOMPARE(timerEntries(), (QStringList {u"[t] カウント開始"_s, u"[t] カウント終了"_s}));
        expectIdle();
    }

    void oneMinuteRun()
    {
        Schedule schedule = timedCountdown(1);
        schedule.insert(71, {message(u"終了＠"_s), message(u"終了＠"_s), message(u"終了＠"_s)});
        const QMap<int, QString> captions {
            {9, base + u" - カウント2"_s},  {11, base + u" - 計測開始"_s},
            {15, base + u" - 計測開始"_s},  {16, base + u" - 00:05経過"_s},
            {70, base + u" - 00:59経過"_s}, {71, base}};
        run(u"1"_s, 71, schedule, captions);
        QCOMPARE(timerEntries(), timerLog({}));
        expectIdle();
    }

    void fiveMinuteRun()
    {
        Schedule schedule = timedCountdown(5);
        schedule.insert(71, {message(u"1分経過＠"_s), notice(u"残り4分"_s)});
        schedule.insert(131, {message(u"2分経過＠"_s), notice(u"残り3分"_s)});
        schedule.insert(191, {message(u"3分経過＠"_s), notice(u"残り2分"_s)});
        schedule.insert(251, {message(u"4分経過＠"_s), notice(u"残り1分"_s)});
        schedule.insert(311, {message(u"終了＠"_s), message(u"終了＠"_s), message(u"終了＠"_s)});
        run(u"5"_s, 311, schedule, {{310, base + u" - 04:59経過"_s}, {311, base}});
        QCOMPARE(timerEntries(), timerLog({}));
    }

    void tenMinuteRun()
    {
        Schedule schedule = timedCountdown(10);
        schedule.insert(71, {message(u"1分経過＠"_s)});
        schedule.insert(131, {message(u"2分経過＠"_s)});
        schedule.insert(191, {message(u"3分経過＠"_s)});
        schedule.insert(251, {message(u"4分経過＠"_s)});
        schedule.insert(311, {message(u"5分経過＠"_s), notice(u"残り5分"_s)});
        schedule.insert(371, {message(u"6分経過＠"_s), notice(u"残り4分"_s)});
        schedule.insert(431, {message(u"7分経過＠"_s), notice(u"残り3分"_s)});
        schedule.insert(491, {message(u"8分経過＠"_s), notice(u"残り2分"_s)});
        schedule.insert(551, {message(u"9分経過＠"_s), notice(u"残り1分"_s)});
        schedule.insert(611, {message(u"終了＠"_s), message(u"終了＠"_s), message(u"終了＠"_s)});
        run(u"10"_s, 611, schedule, {{311, base + u" - 05:00経過"_s}});
        QCOMPARE(timerEntries(), timerLog({5}));
        // Minute 5: its message, then its notice, then its log line.
        const QStringList log = statusEntries(*form);
        QCOMPARE(log.indexOf(u"[t] 開始から5分経過"_s), log.indexOf(u"[t] 計測開始"_s) + 1);
    }

    void longRuns_data()
    {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("firstNoticeMinute");
        QTest::addColumn<QList<int>>("logMinutes");
        QTest::newRow("20") << 20 << 15 << QList<int> {5, 10, 15};
        QTest::newRow("59") << 59 << 54 << QList<int> {5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55};
        QTest::newRow("60") << 60 << 50 << QList<int> {5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55};
        QTest::newRow("90") << 90 << 80 << QList<int> {5,  10, 15, 20, 25, 30, 35, 40, 45,
                                                       50, 55, 60, 65, 70, 75, 80, 85};
        QTest::newRow("120") << 120 << 110
                             << QList<int> {5,  10, 15, 20, 25, 30, 35, 40,  45,  50,  55, 60,
                                            65, 70, 75, 80, 85, 90, 95, 100, 105, 110, 115};
    }
    void longRuns()
    {
        QFETCH(int, minutes);
        QFETCH(int, firstNoticeMinute);
        QFETCH(QList<int>, logMinutes);
        const int lastTick = 11 + 60 * minutes;
        run(QString::number(minutes), lastTick, timedRun(minutes, firstNoticeMinute),
            {{lastTick - 1, base + u" - %1:59経過"_s.arg(minutes - 1, 2, 10, QLatin1Char('0'))},
             {lastTick, base}});
        QCOMPARE(timerEntries(), timerLog(logMinutes));
        expectIdle();
    }

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

    // A machine that froze or slept through ticks: what they would have said is logged, not
    // sent late in a burst; the run goes on from the tick due now.
    void aStallSendsNothingItPassedOver_data()
    {
        QTest::addColumn<int>("stallMs");
        QTest::addColumn<int>("unsent");
        QTest::addColumn<QString>("caption");
        QTest::newRow("20 s, in the countdown") << 20500 << 8 << base + u" - 00:09経過"_s;
        QTest::newRow("past the run's end") << 80000 << 11 << base;
    }
    void aStallSendsNothingItPassedOver()
    {
        QFETCH(int, stallMs);
        QFETCH(int, unsent);
        QFETCH(QString, caption);
        start(u"1"_s);
        QVERIFY(session->waitForSent(1));
        form->run().tickTimer()->blockSignals(false);
        const auto begun = form->run().tickTimer()->nextDue() - std::chrono::seconds(1);
        form->run().tickTimer()->wake(begun + std::chrono::milliseconds(stallMs));
        const QStringList log = statusEntries(*form);
        QCOMPARE(log.filter(u"[-] 時刻を過ぎたため送信しません: PRIVMSG #chan :"_s).size(), unsent);
        QCOMPARE(log.filter(u"%1秒間、プログラムが止まっていました"_s.arg(stallMs / 1000)).size(),
                 1);
        QCOMPARE(form->windowTitle(), caption);
        QCOMPARE(form->run().tickTimer()->isActive(), caption != base);
        form->session().SendLine(u"PING :sentinel"_s);
        QVERIFY(session->waitForSent(2));
        QCOMPARE(decodedSent(),
                 (QStringList {notice(u"計測時間1分 カウント開始"_s), u"PING :sentinel"_s}));
        QCOMPARE(timerEntries().count(u"[t] 計測終了"_s), caption == base ? 1 : 0);
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

    // Starts a run, drives its ticks, and compares the wire after every tick that should send
    // and the caption after every listed tick. Whenever the caption changes, the lines due at
    // that tick are on the wire already.
    void run(const QString &minutes, int lastTick, const Schedule &schedule,
             const QMap<int, QString> &captions)
    {
        start(minutes);
        QStringList expected = schedule.value(0);
        QVERIFY(session->waitForSent(expected.size()));
        QCOMPARE(decodedSent(), expected);
        bool captionBeforeLines = false;
        const QMetaObject::Connection watch
            = connect(form, &QWidget::windowTitleChanged, this, [&] {
                  captionBeforeLines = captionBeforeLines || !session->waitForSent(expected.size());
              });
        for (int t = 1; t <= lastTick; ++t) {
            expected += schedule.value(t);
            form->tmrCountTime_Timer();
            QVERIFY2(!captionBeforeLines, qPrintable(u"tick %1"_s.arg(t)));
            if (schedule.contains(t)) {
                QVERIFY2(session->waitForSent(expected.size()), qPrintable(u"tick %1"_s.arg(t)));
                QCOMPARE(decodedSent(), expected);
            }
            if (captions.contains(t))
                QCOMPARE(form->windowTitle(), captions.value(t));
        }
        disconnect(watch);
        QTest::qWait(20);
        QCOMPARE(decodedSent(), expected);
    }

    QStringList decodedSent()
    {
        QStringList lines;
        for (const QByteArray &line : session->sentSinceMark())
            lines << platform::Cp932Decoder().decode(line);
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
