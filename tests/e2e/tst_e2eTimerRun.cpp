#include "app/frmMain.h"
#include "programSession.h"

#include <QComboBox>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString channel = u"#Durmast_Test"_s;

struct Announcement
{
    QByteArray command;
    QString text;
    int idealMs; // after the start click
};

} // namespace

// Whole runs with the real one-second timer, seen from a second client in the channel.
class tst_e2eTimerRun : public QObject
{
    Q_OBJECT

private slots:
    void countdownOnly()
    {
        const QList<Announcement> expected {{"NOTICE", u"計測時間0分 カウント開始"_s, 0},
                                            {"PRIVMSG", u"10＠"_s, 1000},
                                            {"PRIVMSG", u"9"_s, 2000},
                                            {"PRIVMSG", u"8"_s, 3000},
                                            {"PRIVMSG", u"7"_s, 4000},
                                            {"PRIVMSG", u"6"_s, 5000},
                                            {"PRIVMSG", u"5＠"_s, 6000},
                                            {"PRIVMSG", u"4＠"_s, 7000},
                                            {"PRIVMSG", u"3＠"_s, 8000},
                                            {"PRIVMSG", u"2＠"_s, 9000},
                                            {"PRIVMSG", u"1＠"_s, 10000},
                                            {"PRIVMSG", u"0＠"_s, 11000}};
        // Twelve lines in eleven seconds outrun the server's flood control (about 2 s of budget
        // a line): it holds back the last two, by one or two seconds depending on where its own
        // once-a-second loop stands.
        runAndCompare(u"0"_s, expected, 3000);
    }

    void oneMinute()
    {
        const QList<Announcement> expected {{"NOTICE", u"計測時間1分 カウント開始"_s, 0},
                                            {"PRIVMSG", u"10＠"_s, 1000},
                                            {"PRIVMSG", u"5＠"_s, 6000},
                                            {"PRIVMSG", u"4＠"_s, 7000},
                                            {"PRIVMSG", u"3＠"_s, 8000},
                                            {"PRIVMSG", u"2＠"_s, 9000},
                                            {"PRIVMSG", u"1＠"_s, 10000},
                                            {"PRIVMSG", u"0＠"_s, 11000},
                                            {"PRIVMSG", u"開始！＠"_s, 11000},
                                            {"PRIVMSG", u"終了＠"_s, 71000},
                                            {"PRIVMSG", u"終了＠"_s, 71000},
                                            {"PRIVMSG", u"終了＠"_s, 71000}};
        runAndCompare(u"1"_s, expected, 500);
    }

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

        const QList<IrcObserver::Said> said = observer.saidBy("Timer");
        QCOMPARE(said.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QCOMPARE(said[i].command, expected[i].command);
            QCOMPARE(said[i].text, expected[i].text);
            const qint64 offset = said[i].arrivedMs - clickMs - expected[i].idealMs;
            qInfo().noquote() << u"%1 %2: %3 ms"_s
                                     .arg(QString::fromLatin1(said[i].command), said[i].text)
                                     .arg(offset);
            // Never early; late by the server's flood control at most.
            QVERIFY2(offset >= -20 && offset <= lateMs, qPrintable(said[i].text));
        }
    }
};

QTEST_MAIN(tst_e2eTimerRun)
#include "tst_e2eTimerRun.moc"
