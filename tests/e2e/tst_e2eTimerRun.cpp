#include "announcements.h"
#include "app/frmMain.h"
#include "formHelpers.h"
#include "programSession.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString channel = u"#Durmast_Test"_s;

} // namespace

// Whole runs with the real one-second timer, seen from a second client in the channel.
class tst_e2eTimerRun : public QObject
{
    Q_OBJECT

private slots:
    void countdownOnly()
    {
        // Twelve lines in eleven seconds outrun the server's flood control (about 2 s of budget
        // a line): it holds back the last two, by one or two seconds depending on where its own
        // once-a-second loop stands.
        runAndCompare(u"0"_s, countdownOnlyRun(), 3000);
    }

    void oneMinute() { runAndCompare(u"1"_s, oneMinuteRun(), 500); }

    // The whole process, this test with it, stopped for 5 s in the countdown as a frozen desktop
    // would stop it: the lines that fell due meanwhile are logged, never sent late in a burst,
    // and the run goes on by its clock.
    void aFiveSecondStopSendsNoBurst()
    {
        ChannelSession session;
        const QString failure = startDrained(session);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        frmMain &form = session.form;
        IrcObserver &observer = session.observer;
        controls(form).cboMinutes->setEditText(u"1"_s);
        QVERIFY(
            QProcess::startDetached(u"sh"_s,
                                    {u"-c"_s, u"sleep 5.5; kill -STOP $0; sleep 5; kill -CONT $0"_s,
                                     QString::number(QCoreApplication::applicationPid())}));
        const qint64 clickMs = observer.clock().elapsed();
        form.cmdCount_Click();
        const auto saidTexts = [&observer] {
            QStringList texts;
            for (const IrcObserver::Said &said : observer.saidBy("Timer"))
                texts << said.text;
            return texts;
        };
        QTRY_VERIFY_WITH_TIMEOUT(saidTexts().contains(u"開始！＠"_s), 20000);
        QTest::qWait(1500);

        const QString notSent = u"[-] 時刻を過ぎたため送信しません: PRIVMSG "_s + channel + u" :"_s;
        QStringList logged;
        for (const QString &entry : statusEntries(form).filter(notSent))
            logged << entry.mid(notSent.size());
        QVERIFY2(logged.contains(u"4＠"_s) && logged.contains(u"3＠"_s),
                 qPrintable(logged.join(u' ')));
        QCOMPARE(statusEntries(form).filter(u"秒間、プログラムが止まっていました"_s).size(), 1);
        const QList<Announcement> countdown = oneMinuteRun().mid(0, 9);
        for (const Announcement &line : countdown)
            QVERIFY2(saidTexts().contains(line.text) != logged.contains(line.text),
                     qPrintable(line.text));
        for (const IrcObserver::Said &said : observer.saidBy("Timer")) {
            const auto ideal
                = std::find_if(countdown.begin(), countdown.end(),
                               [&](const Announcement &a) { return a.text == said.text; });
            QVERIFY(ideal != countdown.end());
            const qint64 late = said.arrivedMs - clickMs - ideal->idealMs;
            qInfo().noquote() << said.text << late << "ms";
            // A line caught up with up to a second late is sent; none later than that.
            QVERIFY2(late >= -20 && late <= (ideal->idealMs >= 11000 ? 500 : 1200),
                     qPrintable(said.text));
        }
        form.cmdCount_Click();
    }

private:
    // Empty on success, else what went wrong.
    QString startDrained(ChannelSession &session)
    {
        const QString failure = session.start(channel);
        // IRCnet-style servers hold back a client that is far ahead of its line budget; let
        // the login burst drain first.
        if (failure.isEmpty())
            QTest::qWait(15000);
        return failure;
    }

    void runAndCompare(const QString &minutes, const QList<Announcement> &expected, int lateMs)
    {
        ChannelSession session;
        const QString failure = startDrained(session);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        frmMain &form = session.form;
        IrcObserver &observer = session.observer;
        controls(form).cboMinutes->setEditText(minutes);
        const qint64 clickMs = observer.clock().elapsed();
        form.cmdCount_Click();
        const int lastMs = expected.constLast().idealMs;
        QTRY_VERIFY_WITH_TIMEOUT(observer.saidBy("Timer").size() >= expected.size(),
                                 lastMs + lateMs + 5000);
        QTest::qWait(1500);

        compareAnnouncements(observer.saidBy("Timer"), expected, clickMs, lateMs);
    }
};

QTEST_MAIN(tst_e2eTimerRun)
#include "tst_e2eTimerRun.moc"
