#include "announcements.h"
#include "app/frmMain.h"
#include "programSession.h"

#include <QComboBox>
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

private:
    void runAndCompare(const QString &minutes, const QList<Announcement> &expected, int lateMs)
    {
        ChannelSession session;
        const QString failure = session.start(channel);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        frmMain &form = session.form;
        IrcObserver &observer = session.observer;
        // IRCnet-style servers hold back a client that is far ahead of its line budget; let
        // the login burst drain first.
        QTest::qWait(15000);

        form.cboMinutes->setEditText(minutes);
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
