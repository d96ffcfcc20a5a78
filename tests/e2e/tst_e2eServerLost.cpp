#include "app/frmMain.h"
#include "app/frmServerLog.h"
#include "app/logView.h"
#include "formHelpers.h"
#include "programSession.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QString channel = u"#Durmast_Test"_s;

} // namespace

// The real server dies in the middle of a run: the program stays up, says what happened, and
// the run still ends on the second it was due.
class tst_e2eServerLost : public QObject
{
    Q_OBJECT

private slots:
    void runKeepsTimeWhenTheServerDies_data()
    {
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<int>("killAtMs");
        QTest::addColumn<int>("endMs");
        QTest::addColumn<QString>("lastAnnouncement");
        QTest::addColumn<int>("unsentAtLeast");

        QTest::newRow("in the countdown") << u"0"_s << 4500 << 11000 << u"0＠"_s << 6;
        QTest::newRow("in the measurement") << u"1"_s << 30500 << 71000 << u"終了＠"_s << 3;
    }

    void runKeepsTimeWhenTheServerDies()
    {
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
        form.cboMinutes->setEditText(minutes);
        sinceClick.start();
        form.cmdCount_Click();
        QTRY_VERIFY_WITH_TIMEOUT(sinceClick.elapsed() >= killAtMs, killAtMs + 1000);
        QVERIFY(form.tmrCountTime->isActive());
        session.server.stop();

        QTRY_VERIFY_WITH_TIMEOUT(!form.loggedIn(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(endedAtMs >= 0, endMs + 5000);
        qInfo().noquote() << u"run ended %1 ms after the click"_s.arg(endedAtMs);
        QVERIFY2(endedAtMs >= endMs - 20 && endedAtMs <= endMs + 500,
                 qPrintable(QString::number(endedAtMs)));

        const QStringList entries = statusEntries(form);
        QVERIFY(entries.filter(u"[x] "_s).filter(u"から切断しました"_s).size() == 1);
        const QStringList unsent = entries.filter(u"[-] 未接続のため送信できません: "_s);
        QVERIFY2(unsent.size() >= unsentAtLeast, qPrintable(unsent.join(u'\n')));
        QCOMPARE(unsent.constLast(),
                 u"[-] 未接続のため送信できません: PRIVMSG "_s + channel + u" :"_s
                     + lastAnnouncement);
        QVERIFY(form.serverLog().txtRec->logText().contains(u" 376 Timer "_s));
        QVERIFY(session.boxes.boxes.isEmpty());
        // A run that ends offline leaves the offline look: only connecting is offered.
        QVERIFY(form.mnuConnect->isEnabled());
        QVERIFY(!form.cmdCount->isEnabled());
        QCOMPARE(form.cmdCount->text(), u"開始"_s);
    }
};

QTEST_MAIN(tst_e2eServerLost)
#include "tst_e2eServerLost.moc"
