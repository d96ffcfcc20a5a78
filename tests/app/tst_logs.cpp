#include "app/frmMain.h"
#include "app/frmServerLog.h"
#include "app/logView.h"
#include "common/logTimeStamp.h"
#include "formHelpers.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTime>
#include <memory>

using namespace Qt::StringLiterals;

class tst_logs : public QObject
{
    Q_OBJECT

private slots:
    void init() { form = std::make_unique<frmMain>(); }
    void cleanup() { form.reset(); }

    void timeStampIsTwentyFourHourWithoutDate_data()
    {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("stamp");
        QTest::newRow("before midnight") << QTime(23, 59, 59) << u"23:59:59"_s;
        QTest::newRow("midnight") << QTime(0, 0, 0) << u"00:00:00"_s;
        QTest::newRow("single digits") << QTime(9, 5, 3) << u"09:05:03"_s;
        QTest::newRow("afternoon") << QTime(13, 0, 0) << u"13:00:00"_s;
    }
    void timeStampIsTwentyFourHourWithoutDate()
    {
        QFETCH(QTime, time);
        QFETCH(QString, stamp);
        QCOMPARE(logTimeStamp(time), stamp);
    }

    void statusEntryIsLineBreakTimeAndText()
    {
        controls(*form).txtStatus->setLogText(QString());
        form->AddStatusLog(u"[+] abc"_s);
        form->AddStatusLog(QString());
        form->AddStatusLog(u"one\r\ntwo"_s);
        const QStringList lines = controls(*form).txtStatus->logText().split(u'\n');
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines[0].isEmpty());
        static const QRegularExpression stamped(u"^\\d\\d:\\d\\d:\\d\\d"_s);
        QVERIFY(lines[1].contains(stamped));
        QCOMPARE(lines[1].mid(8), u"[+] abc"_s);
        QCOMPARE(lines[2].size(), 8);
        QCOMPARE(lines[3].mid(8), u"one"_s);
        QCOMPARE(lines[4], u"two"_s);
    }

    void newestStatusEntryIsInView()
    {
        form->show();
        for (int i = 0; i < 50; ++i)
            form->AddStatusLog(u"[i] line %1"_s.arg(i));
        QCOMPARE(controls(*form).txtStatus->textCursor().position(),
                 controls(*form).txtStatus->document()->characterCount() - 1);
        QVERIFY(controls(*form).txtStatus->verticalScrollBar()->value() > 0);
    }

    void serverLogLoadsHiddenOnTheFirstBlock()
    {
        frmServerLog &log = form->serverLog();
        QVERIFY(!log.isLoaded());
        form->AddServerLog(u":irc.test 001 Timer :Welcome\r\n"_s);
        QVERIFY(log.isLoaded());
        QVERIFY(!log.isVisible());
        const QStringList lines = log.txtRec->logText().split(u'\n');
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].isEmpty());
        QCOMPARE(lines[1].size(), 8);
        QCOMPARE(lines[2], u":irc.test 001 Timer :Welcome"_s);
        QVERIFY(lines[3].isEmpty());
    }

    void blockWithoutLineEndIsContinuedByTheNextStamp()
    {
        form->AddServerLog(u"partial"_s);
        form->AddServerLog(u" rest\r\n"_s);
        const QStringList lines = form->serverLog().txtRec->logText().split(u'\n');
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines[2], u"partial"_s);
        QCOMPARE(lines[3].size(), 8);
        QCOMPARE(lines[4], u" rest"_s);
    }

    void serverLogSurvivesCloseAndReopen()
    {
        form->AddServerLog(u"first\r\n"_s);
        form->mnuServerLog_Click();
        frmServerLog &log = form->serverLog();
        QVERIFY(log.isVisible());
        const QString text = log.txtRec->logText();
        log.close();
        QVERIFY(!log.isLoaded());
        form->AddServerLog(u"while closed\r\n"_s);
        QVERIFY(!log.isVisible());
        form->mnuServerLog_Click();
        QVERIFY(log.txtRec->logText().startsWith(text));
        QVERIFY(log.txtRec->logText().endsWith(u"while closed\n"_s));

        log.close();
        form->mnuServerLog_Click();
        QCOMPARE(log.txtRec->textCursor().position(), 0);
    }

    void clearedServerLogShowsOnlyLaterBlocks()
    {
        form->AddServerLog(u"old\r\n"_s);
        form->mnuServerLog_Click();
        frmServerLog &log = form->serverLog();
        QTest::mouseClick(log.cmdClearLog, Qt::LeftButton);
        QVERIFY(log.txtRec->logText().isEmpty());
        log.close();
        form->AddServerLog(u"new\r\n"_s);
        form->mnuServerLog_Click();
        QVERIFY(!log.txtRec->logText().contains(u"old"_s));
        QVERIFY(log.txtRec->logText().contains(u"new"_s));
    }

    void lineBreaksCountOnceEvenWhenSplit_data()
    {
        QTest::addColumn<QStringList>("appends");
        QTest::addColumn<QString>("shown");
        QTest::newRow("CR LF") << QStringList {u"a\r\nb"_s} << u"a\nb"_s;
        QTest::newRow("lone CR") << QStringList {u"a\rb"_s} << u"a\nb"_s;
        QTest::newRow("lone LF") << QStringList {u"a\nb"_s} << u"a\nb"_s;
        QTest::newRow("CR LF split") << QStringList {u"a\r"_s, u"\nb"_s} << u"a\nb"_s;
        QTest::newRow("LF CR is two") << QStringList {u"a\n\rb"_s} << u"a\n\nb"_s;
        QTest::newRow("CR then text") << QStringList {u"a\r"_s, u"b"_s} << u"a\nb"_s;
    }
    void lineBreaksCountOnceEvenWhenSplit()
    {
        QFETCH(QStringList, appends);
        QFETCH(QString, shown);
        LogView view;
        for (const QString &text : appends)
            view.appendEntry(text);
        QCOMPARE(view.logText(), shown);
    }

    void splitCrLfSurvivesAnUnload()
    {
        form->AddServerLog(u"a\r"_s);
        form->serverLog().Unload();
        form->serverLog().Load();
        form->serverLog().txtRec->appendEntry(u"\nb"_s);
        QVERIFY(form->serverLog().txtRec->logText().endsWith(u"a\nb"_s));
    }

    void hiddenLogCollectsAndShowsOnceShown()
    {
        LogView view;
        for (int i = 0; i < 3 * LogView::maximumLines; ++i)
            view.appendEntry(u"\r\nline %1"_s.arg(i));
        QCOMPARE(view.document()->characterCount(), 1);
        view.show();
        QCOMPARE(view.document()->blockCount(), LogView::maximumLines);
        QCOMPARE(view.document()->lastBlock().text(),
                 u"line %1"_s.arg(3 * LogView::maximumLines - 1));
        QCOMPARE(view.document()->firstBlock().text(), u"line %1"_s.arg(2 * LogView::maximumLines));
        view.appendEntry(u"\r\nvisible"_s);
        QCOMPARE(view.document()->lastBlock().text(), u"visible"_s);
        QCOMPARE(view.document()->blockCount(), LogView::maximumLines);
    }

    void veryLongLineIsKeptInPieces()
    {
        LogView view;
        const QString line(3 * LogView::maximumLineLength + 5, u'x');
        view.appendEntry(u"ab"_s);
        view.appendEntry(line);
        const QStringList shown = view.logText().split(u'\n');
        QCOMPARE(shown.size(), 4);
        QCOMPARE(shown[0].size(), LogView::maximumLineLength);
        QCOMPARE(shown[3].size(), 7);
        QCOMPARE(shown.join(QString()).size(), line.size() + 2);
    }

    void logKeepsItsNewestLines()
    {
        LogView view;
        QString text;
        for (int i = 0; i < LogView::maximumLines + 10; ++i)
            text += u"\n%1"_s.arg(i);
        view.appendEntry(text);
        view.logText();
        QCOMPARE(view.document()->blockCount(), LogView::maximumLines);
        QCOMPARE(view.document()->lastBlock().text(), QString::number(LogView::maximumLines + 9));
    }

private:
    std::unique_ptr<frmMain> form;
};

QTEST_MAIN(tst_logs)
#include "tst_logs.moc"
