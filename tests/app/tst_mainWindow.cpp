#include "app/frmConnect.h"
#include "app/frmMain.h"
#include "app/frmServerLog.h"
#include "app/qtTranslation.h"
#include "formHelpers.h"
#include "irc/ircSession.h"
#include "irc/socketControl.h"
#include "loopbackServer.h"
#include "messageBoxResponder.h"
#include "namespaceRerun.h"
#include "platform/instanceLock.h"
#include "platform/messageBox.h"
#include "platform/windowHelpers.h"
#include "terminationRecorder.h"
#include "timer/measurementRun.h"
#include "timer/tickTimer.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace platform;

namespace {

// The lock file of a copy that was killed: a process that took the lock and ended without
// releasing it.
void leaveADeadCopysLock()
{
    const pid_t child = fork();
    if (child == 0) {
        QLockFile lock(InstanceLock::lockFilePath());
        lock.tryLock(0);
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
}

} // namespace

class tst_mainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        form = std::make_unique<frmMain>();
        form->show();
    }
    void cleanup() { form.reset(); }

    void startsIdleAndOffline()
    {
        QCOMPARE(form->windowTitle(), u"ケストリオン"_s);
        QVERIFY(form->isRunningCopy());
        QVERIFY(!form->run().tickTimer()->isActive());
        QVERIFY(controls(*form).mnuConnect->isEnabled());
        QVERIFY(!controls(*form).mnuDisconnect->isEnabled());
        QCOMPARE(controls(*form).cboMinutes->currentText(), u"20"_s);
        QVERIFY(!controls(*form).cboMinutes->isEnabled());
        QCOMPARE(controls(*form).cboMinutes->palette().color(QPalette::Base),
                 systemColour(COLOR_SCROLLBAR));
        QCOMPARE(controls(*form).cmdCount->text(), u"開始"_s);
        QVERIFY(!controls(*form).cmdCount->isEnabled());
        QVERIFY(controls(*form).txtSend->text().isEmpty());
        QVERIFY(!controls(*form).txtSend->isEnabled());
        QCOMPARE(controls(*form).txtSend->palette().color(QPalette::Base),
                 systemColour(COLOR_SCROLLBAR));
        QCOMPARE(controls(*form).txtStatus->palette().color(QPalette::Base),
                 systemColour(COLOR_MENU));
        QCOMPARE(statusEntries(*form), QStringList {u"[i] ケストリオン1.0.3 起動"_s});
        QVERIFY(form->session().channel().isEmpty() && form->session().server().isEmpty());
        QVERIFY(form->session().nick().isEmpty() && form->session().port().isEmpty());
        QVERIFY(!form->session().loggedIn());
        QCOMPARE(form->run().phase(), MeasurementRun::Phase::Idle);
        for (QAction *setting : {controls(*form).mnuAlwaysOnTop, controls(*form).mnuRestTime,
                                 controls(*form).mnuStatus})
            QVERIFY(!setting->isChecked());
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form->windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(form->windowFlags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(form->centralWidget()->height(), twipsToPixels(1005));
    }

    void menusReadAsLaidOut()
    {
        QCOMPARE(controls(*form).mnuServer->title(), u"サーバ"_s);
        QCOMPARE(controls(*form).mnuSetting->title(), u"表示"_s);
        QStringList captions;
        for (QMenu *menu : {controls(*form).mnuServer, controls(*form).mnuSetting})
            for (QAction *entry : menu->actions())
                captions << entry->text();
        QCOMPARE(captions,
                 (QStringList {u"接続"_s, u"切断"_s, u"サーバログ"_s, u"終了"_s, u"常に前面へ"_s,
                               u"残り時間表示"_s, u"ステータス"_s}));
    }

    void controlsStandWhereTheLayoutPutsThem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        QTest::newRow("cmdCount") << u"cmdCount"_s << QRect(2640, 120, 1575, 495);
        QTest::newRow("cboMinutes") << u"cboMinutes"_s << QRect(960, 180, 615, 300);
        QTest::newRow("lblTimeLimit") << u"lblTimeLimit"_s << QRect(120, 240, 2175, 300);
        QTest::newRow("txtSend") << u"txtSend"_s << QRect(0, 720, 4215, 285);
        QTest::newRow("txtStatus") << u"txtStatus"_s << QRect(0, 1080, 4215, 1095);
        QTest::newRow("cmdClearLog") << u"cmdClearLog"_s << QRect(2880, 2280, 1335, 375);
    }
    void controlsStandWhereTheLayoutPutsThem()
    {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        auto *control = form->findChild<QWidget *>(name);
        QVERIFY(control);
        QCOMPARE(control->geometry(),
                 twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    }

    void minutesBoxCoversTheLabelsWideBlanks()
    {
        QCOMPARE(controls(*form).lblTimeLimit->text(), u"計測時間　　　　　分"_s);
        const QList<QObject *> siblings = form->centralWidget()->children();
        QVERIFY(siblings.indexOf(controls(*form).cboMinutes)
                > siblings.indexOf(controls(*form).lblTimeLimit));
        QCOMPARE(controls(*form).lblTimeLimit->focusPolicy(), Qt::NoFocus);
        QCOMPARE(controls(*form).lblTimeLimit->font().pointSizeF(), 9.75);
    }

    void tabOrderRunsFromChatInputToMinutes()
    {
        const QList<QWidget *> expected {controls(*form).txtSend, controls(*form).txtStatus,
                                         controls(*form).cmdCount, controls(*form).cmdClearLog,
                                         controls(*form).cboMinutes};
        QList<QWidget *> order {controls(*form).txtSend};
        for (QWidget *w = controls(*form).txtSend->nextInFocusChain(); w != controls(*form).txtSend;
             w = w->nextInFocusChain()) {
            if (expected.contains(w))
                order << w;
        }
        QCOMPARE(order, expected);
    }

    void keyboardAndScreenReaderReachEveryControl()
    {
        // Names as a screen reader speaks them: a box's own, or its label's (combo boxes on
        // Linux are named by the label they are linked to).
        const auto spokenName = [](QWidget *box) {
            QAccessibleInterface *widget = QAccessible::queryAccessibleInterface(box);
            for (const auto &[label, relation] : widget->relations(QAccessible::Label))
                return label->text(QAccessible::Name);
            return widget->text(QAccessible::Name);
        };
        frmConnect &dialog = form->connectDialog();
        form->serverLog().Load();
        const QList<std::pair<QWidget *, QString>> names {
            {controls(*form).cboMinutes, u"計測時間　　　　　分"_s},
            {controls(*form).txtSend, u"チャット入力"_s},
            {controls(*form).txtStatus, u"ステータス"_s},
            {form->serverLog().txtRec, u"サーバログ"_s},
            {connectControls(dialog).cboServer, u"接続サーバ"_s},
            {connectControls(dialog).cboPort, u"ポート"_s},
            {connectControls(dialog).txtNick, u"ニックネーム"_s},
            {connectControls(dialog).cboChannel, u"チャンネル"_s},
            {connectControls(dialog).cboChannel->lineEdit(), u"チャンネル"_s}};
        for (const auto &[box, name] : names)
            QCOMPARE(spokenName(box), name);

        // Offline, the compact view has no Tab stop at all: nothing out of sight takes a key.
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QCOMPARE(QApplication::focusWidget(), nullptr);
        controls(*form).txtSend->setEnabled(true);
        controls(*form).cboMinutes->setEnabled(true);
        controls(*form).cmdCount->setEnabled(true);
        const auto tabStops = [this] {
            controls(*form).txtSend->setFocus(Qt::TabFocusReason);
            QList<QWidget *> stops {controls(*form).txtSend};
            for (QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                 QApplication::focusWidget() != controls(*form).txtSend;
                 QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab))
                stops << QApplication::focusWidget();
            return stops;
        };
        QCOMPARE(tabStops(),
                 (QList<QWidget *> {controls(*form).txtSend, controls(*form).cmdCount,
                                    controls(*form).cboMinutes}));
        controls(*form).mnuStatus->trigger();
        QCOMPARE(tabStops(),
                 (QList<QWidget *> {controls(*form).txtSend, controls(*form).txtStatus,
                                    controls(*form).cmdCount, controls(*form).cmdClearLog,
                                    controls(*form).cboMinutes}));

        // A caret in the read-only log; the focus leaves it when the view shrinks over it.
        controls(*form).txtStatus->setFocus(Qt::TabFocusReason);
        QTest::keyClick(controls(*form).txtStatus, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(controls(*form).txtStatus->textCursor().blockNumber(), 1);
        QTest::keyClick(controls(*form).txtStatus, Qt::Key_Up);
        QCOMPARE(controls(*form).txtStatus->textCursor().blockNumber(), 0);
        controls(*form).mnuStatus->trigger();
        QCOMPARE(QApplication::focusWidget(), controls(*form).txtSend);

        QTest::keyClick(form.get(), Qt::Key_F10);
        QTRY_VERIFY(controls(*form).mnuServer->isVisible());
        controls(*form).mnuServer->close();
    }

    void secondCopyIsTurnedAway()
    {
        MessageBoxResponder responder;
        TerminationRecorder termination;
        frmMain second;
        QCOMPARE(responder.boxes.size(), 1);
        QCOMPARE(responder.boxes[0].prompt, u"既に起動されています。"_s);
        QCOMPARE(responder.boxes[0].style, MB_OK);
        QCOMPARE(responder.boxes[0].title, u"kestrion"_s);
        QCOMPARE(termination.exitCodes.size(), 1);
        QVERIFY(!second.isRunningCopy());
        QVERIFY(controls(second).txtStatus->logText().isEmpty());
        QCOMPARE(statusEntries(*form).size(), 1);
    }

    void lockOfAKilledCopyDoesNotBlock()
    {
        form.reset();
        leaveADeadCopysLock();
        QVERIFY(QFile::exists(InstanceLock::lockFilePath()));

        MessageBoxResponder responder;
        form = std::make_unique<frmMain>();
        QVERIFY(form->isRunningCopy());
        QVERIFY(responder.boxes.isEmpty());
    }

    // Even root cannot write to a folder that a private mount namespace shows read-only.
    void startsWhenTheRuntimeFolderIsReadOnly_data()
    {
        QTest::addColumn<bool>("deadCopysLock");
        QTest::newRow("empty folder") << false;
        QTest::newRow("a dead copy's lock left") << true;
    }
    void startsWhenTheRuntimeFolderIsReadOnly()
    {
        QFETCH(bool, deadCopysLock);
        if (namespaceRerun::isRerun()) {
            QVERIFY(!QFileInfo(qEnvironmentVariable("XDG_RUNTIME_DIR")).isWritable());
            QCOMPARE(QFile::exists(InstanceLock::lockFilePath()), deadCopysLock);
            QVERIFY(form->isRunningCopy());
            QCOMPARE(statusEntries(*form),
                     (QStringList {
                         u"[i] ケストリオン1.0.3 起動"_s,
                         u"[-] ロックファイルを作成できないため、二重起動を検出できません"_s}));
            return;
        }
        form.reset();
        if (deadCopysLock)
            leaveADeadCopysLock();
        const QString failure = namespaceRerun::rerun(
            {u"-m"_s}, u"mount -o bind,ro \"$XDG_RUNTIME_DIR\" \"$XDG_RUNTIME_DIR\""_s, 60000);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QFile::remove(InstanceLock::lockFilePath());
    }

    void closingAsksOnlyWhileConnected_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closes");
        QTest::newRow("offline") << false << IDCANCEL << true;
        QTest::newRow("connected, cancel") << true << IDCANCEL << false;
        QTest::newRow("connected, OK") << true << IDOK << true;
    }
    void closingAsksOnlyWhileConnected()
    {
        QFETCH(bool, connected);
        QFETCH(int, answer);
        QFETCH(bool, closes);
        LoopbackServer server;
        if (connected) {
            form->session().socket()->Connect(u"127.0.0.1"_s, server.portText());
            QVERIFY(server.waitForClient());
            QTRY_COMPARE(form->session().socket()->State(), int(SocketControl::sckConnected));
        }
        MessageBoxResponder responder;
        responder.answers.enqueue(answer);

        QCOMPARE(form->close(), closes);

        QCOMPARE(responder.boxes.size(), connected ? 1 : 0);
        if (connected) {
            QCOMPARE(responder.boxes[0].prompt, u"現在接続中です。\r\n本当に終了しますか？"_s);
            QCOMPARE(responder.boxes[0].style, 0x131);
            QCOMPARE(form->session().socket()->State(),
                     closes ? int(SocketControl::sckClosed) : int(SocketControl::sckConnected));
            if (closes)
                QVERIFY(server.waitForClientGone());
            QVERIFY(!server.received().contains("QUIT"));
        }
        QCOMPARE(form->isVisible(), !closes);
    }

    void closingWhileStillConnectingAsksNothing()
    {
        form->session().socket()->Connect(u"localhost"_s, u"6664"_s);
        QVERIFY(form->session().socket()->State() != SocketControl::sckConnected);
        MessageBoxResponder responder;
        QVERIFY(form->close());
        QVERIFY(responder.boxes.isEmpty());
        QCOMPARE(form->session().socket()->State(), int(SocketControl::sckClosed));
    }

    void quitTakesTheSamePathAsTheCloseBox()
    {
        LoopbackServer server;
        form->session().socket()->Connect(u"127.0.0.1"_s, server.portText());
        QTRY_COMPARE(form->session().socket()->State(), int(SocketControl::sckConnected));
        MessageBoxResponder responder;
        responder.answers.enqueue(IDCANCEL);
        controls(*form).mnuQuit->trigger();
        QCOMPARE(responder.boxes.size(), 1);
        QVERIFY(form->isVisible());
        controls(*form).mnuQuit->trigger();
        QVERIFY(!form->isVisible());
    }

    void everyWindowCarriesTheProgramIconAtEveryThemeSize()
    {
        const QList<QWidget *> windows {form.get(), &form->serverLog(), &form->connectDialog()};
        for (QWidget *window : windows) {
            const QIcon icon = window->windowIcon();
            for (int size : {16, 32, 48, 128}) {
                const QPixmap pixmap = icon.pixmap(size, size);
                QCOMPARE(pixmap.size(), QSize(size, size));
                // The stopwatch's orange sector sits right of the centre, above the middle.
                const QColor sector = pixmap.toImage().pixelColor(size * 19 / 32, size * 25 / 64);
                QVERIFY2(sector.red() > sector.green() + 60 && sector.red() > sector.blue() + 100,
                         qPrintable(u"%1 px: %2"_s.arg(size).arg(sector.name())));
            }
        }
    }

    void closingUnloadsTheServerLog()
    {
        controls(*form).mnuServerLog->trigger();
        QVERIFY(form->serverLog().isVisible());
        QVERIFY(form->close());
        QVERIFY(!form->serverLog().isLoaded());
        QVERIFY(!form->serverLog().isVisible());
    }

    void statusViewGrowsAndShrinksAtTheBottom()
    {
        const QRect compact = form->geometry();
        controls(*form).mnuStatus->trigger();
        QVERIFY(controls(*form).mnuStatus->isChecked());
        QCOMPARE(form->centralWidget()->height(), twipsToPixels(2670));
        QCOMPARE(form->width(), compact.width());
        QCOMPARE(form->geometry().topLeft(), compact.topLeft());
        controls(*form).mnuStatus->trigger();
        QVERIFY(!controls(*form).mnuStatus->isChecked());
        QCOMPARE(form->geometry(), compact);
        QCOMPARE(form->centralWidget()->height(), twipsToPixels(1005));
    }

    void alwaysOnTopFollowsItsCheckMark()
    {
        controls(*form).mnuAlwaysOnTop->trigger();
        QVERIFY(controls(*form).mnuAlwaysOnTop->isChecked());
        QVERIFY(form->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(form->windowHandle()->flags() & Qt::WindowStaysOnTopHint);
        QVERIFY(form->isVisible());
        controls(*form).mnuAlwaysOnTop->trigger();
        QVERIFY(!(form->windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(!(form->windowHandle()->flags() & Qt::WindowStaysOnTopHint));
    }

    void clearingTheStatusLogAsksFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("OK") << IDOK << true;
        QTest::newRow("Cancel") << IDCANCEL << false;
    }
    void clearingTheStatusLogAsksFirst()
    {
        QFETCH(int, answer);
        QFETCH(bool, cleared);
        MessageBoxResponder responder;
        responder.answers.enqueue(answer);
        QTest::mouseClick(controls(*form).cmdClearLog, Qt::LeftButton);
        QCOMPARE(responder.boxes.size(), 1);
        QCOMPARE(responder.boxes[0].prompt, u"ログをクリアしますか？"_s);
        QCOMPARE(responder.boxes[0].style, 0x131);
        QCOMPARE(responder.boxes[0].title, u"kestrion"_s);
        QCOMPARE(controls(*form).txtStatus->logText().isEmpty(), cleared);
    }

    void clearingAnEmptyLogStillAsks()
    {
        MessageBoxResponder responder;
        form->cmdClearLog_Click();
        form->cmdClearLog_Click();
        QCOMPARE(responder.boxes.size(), 2);
    }

    // Qt draws these itself, so only its Japanese translation keeps them from being English.
    void qtsOwnButtonsAndMenusAreJapanese()
    {
        QVERIFY(installQtTranslation(*qApp));
        const auto buttonsOfTheBox = [](int style) {
            QStringList texts;
            QTimer::singleShot(0, [&texts] {
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                QVERIFY(box);
                for (QAbstractButton *button : box->buttons())
                    texts << button->text();
                box->reject();
            });
            showSystemMessageBox({u"?"_s, style, applicationTitle()});
            texts.sort();
            return texts;
        };
        QCOMPARE(buttonsOfTheBox(MB_WARY_QUESTION), (QStringList {u"いいえ(&N)"_s, u"はい(&Y)"_s}));
        QCOMPARE(buttonsOfTheBox(MB_CONFIRM), (QStringList {u"OK"_s, u"キャンセル"_s}));

        std::unique_ptr<QMenu> menu(controls(*form).txtSend->createStandardContextMenu());
        QStringList items;
        for (const QAction *action : menu->actions())
            items << action->text().section(u'\t', 0, 0);
        QVERIFY2(items.contains(u"元に戻す(&U)"_s) && items.contains(u"貼り付け(&P)"_s),
                 qPrintable(items.join(u" / "_s)));
    }

private:
    std::unique_ptr<frmMain> form;
};

QTEST_MAIN(tst_mainWindow)
#include "tst_mainWindow.moc"
