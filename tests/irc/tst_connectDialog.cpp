#include "app/frmConnect.h"
#include "app/frmMain.h"
#include "formHelpers.h"
#include "irc/channelName.h"
#include "irc/ircSession.h"
#include "irc/socketControl.h"
#include "loopbackServer.h"
#include "messageBoxResponder.h"
#include "platform/windowHelpers.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

} // namespace

class tst_connectDialog : public QObject
{
    Q_OBJECT

private slots:
    void init() { form = std::make_unique<frmMain>(); }
    void cleanup() { form.reset(); }

    void channelNamesGetOneLeadingHash_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("plain") << u"abc"_s << u"#abc"_s;
        QTest::newRow("one hash") << u"#abc"_s << u"#abc"_s;
        QTest::newRow("two hashes") << u"##abc"_s << u"#abc"_s;
        QTest::newRow("inner hashes") << u"a#b#c"_s << u"#abc"_s;
        QTest::newRow("hash alone") << u"#"_s << u"#"_s;
        QTest::newRow("blanks kept") << u" a b "_s << u"# a b "_s;
    }
    void channelNamesGetOneLeadingHash()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QCOMPARE(normaliseChannel(typed), stored);

        frmConnect &dialog = form->connectDialog();
        connectControls(dialog).cboServer->setEditText(u"localhost"_s);
        connectControls(dialog).cboChannel->setEditText(typed);
        dialog.cmdConnect_Click();
        QCOMPARE(form->session().channel(), stored);
        form->session().socket()->Close();
    }

    void loadsItsPresets()
    {
        frmConnect &dialog = form->connectDialog();
        QCOMPARE(itemsOf(connectControls(dialog).cboServer).size(), 9);
        QCOMPARE(itemsOf(connectControls(dialog).cboServer).constFirst(), u"irc.ircnet.ne.jp"_s);
        QCOMPARE(itemsOf(connectControls(dialog).cboServer).constLast(), u"localhost"_s);
        QCOMPARE(connectControls(dialog).cboServer->currentText(), u"irc.ircnet.ne.jp"_s);
        QCOMPARE(itemsOf(connectControls(dialog).cboPort),
                 (QStringList {u"6660"_s, u"6661"_s, u"6662"_s, u"6663"_s, u"6664"_s, u"6665"_s,
                               u"6666"_s, u"6667"_s, u"6668"_s, u"6669"_s, u"6697"_s}));
        QCOMPARE(connectControls(dialog).cboPort->currentText(), u"6664"_s);
        QVERIFY(!connectControls(dialog).chkTls->isChecked());
        QCOMPARE(connectControls(dialog).chkTls->text(), u"TLSを使う"_s);
        QCOMPARE(connectControls(dialog).txtPassword->echoMode(), QLineEdit::Password);
        QCOMPARE(itemsOf(connectControls(dialog).cboChannel),
                 (QStringList {u"#Durmast_Velmor"_s, u"#Ulmet_Velmor"_s, u"#Ekran_Velmor"_s,
                               u"#Prenn_Velmor"_s, u"#Durmast_Test"_s}));
        QCOMPARE(connectControls(dialog).cboChannel->currentText(), u"#Durmast_Velmor"_s);
        QCOMPARE(connectControls(dialog).txtNick->text(), u"Timer"_s);
        QCOMPARE(itemsOf(connectControls(dialog).cboEncoding),
                 (QStringList {u"CP932"_s, u"ISO-2022-JP"_s, u"UTF-8"_s}));
        QCOMPARE(connectControls(dialog).cboEncoding->currentText(), u"CP932"_s);
        QCOMPARE(connectControls(dialog).cboEncoding->toolTip(), u"CP932 (Shift_JIS)"_s);
        QCOMPARE(
            connectControls(dialog).cboEncoding->itemData(1, Qt::AccessibleTextRole).toString(),
            u"ISO-2022-JP (JIS)"_s);
        QVERIFY(!connectControls(dialog).cboEncoding->isEditable());
        QCOMPARE(dialog.windowTitle(), u"IRCサーバ接続"_s);
    }

    void controlsStandWhereTheLayoutPutsThem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        QTest::newRow("lblServer") << u"lblServer"_s << QRect(120, 160, 1335, 255);
        QTest::newRow("cboServer") << u"cboServer"_s << QRect(1080, 120, 1815, 300);
        QTest::newRow("lblPort") << u"lblPort"_s << QRect(3000, 165, 495, 255);
        QTest::newRow("cboPort") << u"cboPort"_s << QRect(3480, 120, 855, 300);
        QTest::newRow("lblNick") << u"lblNick"_s << QRect(120, 525, 1335, 255);
        QTest::newRow("txtNick") << u"txtNick"_s << QRect(1200, 480, 975, 270);
        QTest::newRow("lblChannel") << u"lblChannel"_s << QRect(2280, 525, 495, 255);
        QTest::newRow("cboChannel") << u"cboChannel"_s << QRect(2640, 480, 1695, 300);
        QTest::newRow("lblEncoding") << u"lblEncoding"_s << QRect(120, 885, 1335, 255);
        QTest::newRow("cboEncoding") << u"cboEncoding"_s << QRect(1200, 840, 1695, 300);
        QTest::newRow("chkTls") << u"chkTls"_s << QRect(3000, 870, 1335, 255);
        QTest::newRow("txtAccount") << u"txtAccount"_s << QRect(1200, 1200, 1695, 270);
        QTest::newRow("lblPassword") << u"lblPassword"_s << QRect(120, 1605, 1335, 255);
        QTest::newRow("txtPassword") << u"txtPassword"_s << QRect(1200, 1560, 1695, 270);
        QTest::newRow("cmdCertificate") << u"cmdCertificate"_s << QRect(3000, 1905, 1335, 300);
        QTest::newRow("cmdCancel") << u"cmdCancel"_s << QRect(480, 2520, 1335, 375);
        QTest::newRow("cmdConnect") << u"cmdConnect"_s << QRect(2640, 2520, 1335, 375);
    }
    void controlsStandWhereTheLayoutPutsThem()
    {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        auto *control = form->connectDialog().findChild<QWidget *>(name);
        QVERIFY(control);
        QCOMPARE(control->geometry(),
                 platform::twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    }

    void emptiedBoxesGetTheirFallbacks_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        QTest::newRow("server") << u"cboServer"_s << QString() << u"irc.ircnet.ne.jp"_s;
        QTest::newRow("nickname") << u"txtNick"_s << QString() << u"Ruvu"_s;
        QTest::newRow("channel") << u"cboChannel"_s << QString() << u"#Durmast_Velmor"_s;
        QTest::newRow("blank nickname stays") << u"txtNick"_s << u"  "_s << u"  "_s;
        QTest::newRow("blank server stays") << u"cboServer"_s << u" "_s << u" "_s;
        QTest::newRow("port") << u"cboPort"_s << QString() << u"6664"_s;
        QTest::newRow("port 0") << u"cboPort"_s << u"0"_s << u"6664"_s;
        QTest::newRow("port too large") << u"cboPort"_s << u"65536"_s << u"6664"_s;
        QTest::newRow("port of our own") << u"cboPort"_s << u"16697"_s << u"16697"_s;
    }
    void emptiedBoxesGetTheirFallbacks()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, after);
        frmConnect &dialog = form->connectDialog();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto *control = dialog.findChild<QWidget *>(box);
        control->setFocus(Qt::TabFocusReason);
        if (auto *line = qobject_cast<QLineEdit *>(control))
            line->setText(typed);
        else
            qobject_cast<QComboBox *>(control)->setEditText(typed);
        connectControls(dialog).cboEncoding->setFocus(Qt::TabFocusReason);
        const QString shown = box == u"txtNick"_s
            ? connectControls(dialog).txtNick->text()
            : qobject_cast<QComboBox *>(control)->currentText();
        QCOMPARE(shown, after);
        dialog.cmdCancel_Click();
    }

    void tlsMovesThePortBetweenItsDefaults_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QString>("after");
        QTest::newRow("preset to TLS") << u"6667"_s << true << u"6697"_s;
        QTest::newRow("port of our own stays") << u"7000"_s << true << u"7000"_s;
        QTest::newRow("TLS port back") << u"6697"_s << false << u"6664"_s;
        QTest::newRow("other port stays") << u"6669"_s << false << u"6669"_s;
    }
    void tlsMovesThePortBetweenItsDefaults()
    {
        QFETCH(QString, port);
        QFETCH(bool, tls);
        QFETCH(QString, after);
        frmConnect &dialog = form->connectDialog();
        connectControls(dialog).chkTls->setChecked(!tls);
        connectControls(dialog).cboPort->setEditText(port);
        connectControls(dialog).chkTls->click();
        QCOMPARE(connectControls(dialog).cboPort->currentText(), after);
    }

    void upAndDownMoveFromThePortShown_data()
    {
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("after");
        QTest::newRow("as opened, down") << false << QString() << int(Qt::Key_Down) << u"6665"_s;
        QTest::newRow("as opened, up") << false << QString() << int(Qt::Key_Up) << u"6663"_s;
        QTest::newRow("after TLS, up") << true << QString() << int(Qt::Key_Up) << u"6669"_s;
        QTest::newRow("typed preset") << false << u"6661"_s << int(Qt::Key_Down) << u"6662"_s;
        QTest::newRow("own port, up") << false << u"6680"_s << int(Qt::Key_Up) << u"6669"_s;
        QTest::newRow("own port, down") << false << u"6680"_s << int(Qt::Key_Down) << u"6697"_s;
        QTest::newRow("beyond the list") << false << u"7000"_s << int(Qt::Key_Down) << u"7000"_s;
    }
    void upAndDownMoveFromThePortShown()
    {
        QFETCH(bool, tls);
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(QString, after);
        frmConnect &dialog = form->connectDialog();
        if (tls)
            connectControls(dialog).chkTls->click();
        if (!typed.isEmpty()) {
            connectControls(dialog).cboPort->lineEdit()->clear();
            QTest::keyClicks(connectControls(dialog).cboPort->lineEdit(), typed);
        }
        QTest::keyClick(connectControls(dialog).cboPort, Qt::Key(key));
        QCOMPARE(connectControls(dialog).cboPort->currentText(), after);
    }

    void everyEncodingReadsWholeInItsBox()
    {
        QComboBox *box = connectControls(form->connectDialog()).cboEncoding;
        QStyleOptionComboBox option;
        option.initFrom(box);
        const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                         QStyle::SC_ComboBoxEditField, box);
        for (const QString &name : itemsOf(box))
            QVERIFY2(box->fontMetrics().horizontalAdvance(name) <= field.width(), qPrintable(name));
    }

    void portDigitsOnly()
    {
        frmConnect &dialog = form->connectDialog();
        connectControls(dialog).cboPort->lineEdit()->clear();
        QTest::keyClicks(connectControls(dialog).cboPort->lineEdit(), u"6a6-9.7"_s);
        QCOMPARE(connectControls(dialog).cboPort->currentText(), u"6697"_s);
    }

    void focusGoesInTheLayoutsOrder()
    {
        frmConnect &dialog = form->connectDialog();
        QStringList order;
        QWidget *widget = connectControls(dialog).cmdConnect;
        do {
            // An editable combo box's own line edit has no name of its own.
            if (widget->focusPolicy() & Qt::TabFocus && !widget->objectName().isEmpty())
                order << widget->objectName();
            widget = widget->nextInFocusChain();
        } while (widget != connectControls(dialog).cmdConnect);
        QCOMPARE(order,
                 (QStringList {u"cmdConnect"_s, u"cmdCancel"_s, u"txtNick"_s, u"cboServer"_s,
                               u"cboPort"_s, u"cboChannel"_s, u"cboEncoding"_s, u"chkTls"_s,
                               u"txtAccount"_s, u"txtPassword"_s, u"txtCertificate"_s,
                               u"cmdCertificate"_s}));
    }

    void typedTextIsKeptAsTyped_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::newRow("server, a preset's beginning") << u"cboServer"_s << u"irc.tokyo"_s;
        QTest::newRow("channel, a preset's beginning") << u"cboChannel"_s << u"#Durmast"_s;
        QTest::newRow("minutes, 12 before 120") << u"cboMinutes"_s << u"12"_s;
    }
    void typedTextIsKeptAsTyped()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        controls(*form).cboMinutes->setEnabled(true);
        frmConnect &dialog = form->connectDialog();
        QWidget *window = box == u"cboMinutes"_s ? static_cast<QWidget *>(form.get()) : &dialog;
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window));
        auto *combo = window->findChild<QComboBox *>(box);
        combo->setFocus(Qt::TabFocusReason);
        QTest::keyClick(combo, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(combo, typed);
        QTest::keyClick(combo, Qt::Key_Tab);
        QCOMPARE(combo->currentText(), typed);
        dialog.cmdCancel_Click();
    }

    void connectingWithTheDefaults()
    {
        whileDialogShown([](frmConnect &dialog) {
            QCOMPARE(dialog.focusWidget(), connectControls(dialog).cmdConnect);
            QVERIFY(!connectControls(dialog).cmdConnect->isDefault()
                    && !connectControls(dialog).cmdCancel->isDefault());
            QTest::keyClick(connectControls(dialog).cmdConnect, Qt::Key_Return);
        });
        QCOMPARE(form->session().server(), u"irc.ircnet.ne.jp"_s);
        QCOMPARE(form->session().port(), u"6664"_s);
        QCOMPARE(form->session().nick(), u"Timer"_s);
        QCOMPARE(form->session().channel(), u"#Durmast_Velmor"_s);
        QCOMPARE(statusEntries(*form).constLast(), u"[+] irc.ircnet.ne.jpに接続を試みます"_s);
        QVERIFY(!controls(*form).mnuConnect->isEnabled());
        QVERIFY(form->session().socket()->State() == SocketControl::sckResolvingHost
                || form->session().socket()->State() == SocketControl::sckConnecting);
        QTRY_VERIFY(!form->isConnectDialogLoaded());
        form->session().socket()->Close();
    }

    void connectingUsesTheTrimmedHostAndKeepsTheTypedText()
    {
        LoopbackServer server({6660, 6661, 6662, 6663, 6664, 6665, 6666, 6667, 6668, 6669});
        QVERIFY(server.isListening());
        frmConnect &dialog = form->connectDialog();
        connectControls(dialog).cboServer->setEditText(u"  127.0.0.1 "_s);
        connectControls(dialog).cboPort->setCurrentText(server.portText());
        connectControls(dialog).txtNick->setText(u" Nick "_s);
        connectControls(dialog).cboEncoding->setCurrentText(u"ISO-2022-JP"_s);
        dialog.cmdConnect_Click();
        QVERIFY(server.waitForClient());
        QVERIFY(controls(*form).mnuDisconnect->isEnabled());
        QCOMPARE(form->session().socket()->encoding(), WireEncoding::Iso2022Jp);
        QTRY_VERIFY(!form->isConnectDialogLoaded());
        QCOMPARE(connectControls(form->connectDialog()).cboEncoding->currentText(),
                 u"ISO-2022-JP"_s);
        QCOMPARE(connectControls(form->connectDialog()).cboEncoding->toolTip(),
                 u"ISO-2022-JP (JIS)"_s);
        QCOMPARE(form->session().server(), u"  127.0.0.1 "_s);
        QCOMPARE(form->session().nick(), u" Nick "_s);
        QCOMPARE(form->session().port(), server.portText());
        QVERIFY(statusEntries(*form).contains(u"[+]   127.0.0.1 に接続を試みます"_s));
    }

    void emptyHostFailsLaterWithoutEndingTheProgram()
    {
        frmConnect &dialog = form->connectDialog();
        connectControls(dialog).cboServer->setEditText(u"   "_s);
        QSignalSpy errors(form->session().socket(), &SocketControl::Error);
        dialog.cmdConnect_Click();
        QVERIFY(!controls(*form).mnuConnect->isEnabled());
        QVERIFY(errors.wait());
        QCOMPARE(errors[0][0].value<qint16>(), qint16(11004));
    }

    void cancelChangesNothing_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("cancel button") << false;
        QTest::newRow("close box") << true;
    }
    void cancelChangesNothing()
    {
        QFETCH(bool, closeBox);
        const QString logBefore = controls(*form).txtStatus->logText();
        whileDialogShown([closeBox](frmConnect &dialog) {
            connectControls(dialog).cboServer->setEditText(u"other"_s);
            if (closeBox)
                dialog.close();
            else
                QTest::mouseClick(connectControls(dialog).cmdCancel, Qt::LeftButton);
        });
        QVERIFY(form->session().server().isEmpty());
        QCOMPARE(controls(*form).txtStatus->logText(), logBefore);
        QVERIFY(controls(*form).mnuConnect->isEnabled());
        QCOMPARE(form->session().socket()->State(), int(SocketControl::sckClosed));
        QTRY_VERIFY(!form->isConnectDialogLoaded());
    }

    void escapeAndEnterInATextBoxDoNothing()
    {
        bool stillOpen = false;
        whileDialogShown([&stillOpen](frmConnect &dialog) {
            QTest::keyClick(&dialog, Qt::Key_Escape);
            connectControls(dialog).txtNick->setFocus();
            QTest::keyClick(connectControls(dialog).txtNick, Qt::Key_Return);
            stillOpen = dialog.isVisible();
            dialog.cmdCancel_Click();
        });
        QVERIFY(stillOpen);
        QVERIFY(form->session().server().isEmpty());
    }

    void eachOpeningStartsFromThePresetsButASuggestionSurvives()
    {
        connectControls(form->connectDialog()).txtNick->setText(u"Timer_"_s);
        connectControls(form->connectDialog()).cboChannel->setEditText(u"#changed"_s);
        QString nick;
        QString channel;
        whileDialogShown([&](frmConnect &dialog) {
            nick = connectControls(dialog).txtNick->text();
            connectControls(dialog).cboServer->setEditText(u"changed"_s);
            dialog.cmdCancel_Click();
        });
        QCOMPARE(nick, u"Timer_"_s);
        QTRY_VERIFY(!form->isConnectDialogLoaded());
        QString server;
        whileDialogShown([&](frmConnect &dialog) {
            nick = connectControls(dialog).txtNick->text();
            server = connectControls(dialog).cboServer->currentText();
            channel = connectControls(dialog).cboChannel->currentText();
            dialog.cmdCancel_Click();
        });
        QCOMPARE(nick, u"Timer"_s);
        QCOMPARE(server, u"irc.ircnet.ne.jp"_s);
        QCOMPARE(channel, u"#Durmast_Velmor"_s);
    }

    void hiddenDialogDoesNotOutliveTheMainWindow()
    {
        QPointer<frmConnect> dialog = &form->connectDialog();
        QVERIFY(form->close());
        QVERIFY(dialog.isNull());
    }

private:
    // No real box may ever wait for a click here (a failed connect shows one).
    MessageBoxResponder responder;

    // Opens the dialog from the menu as the user does, and acts inside its modal loop.
    void whileDialogShown(const std::function<void(frmConnect &)> &act)
    {
        bool acted = false;
        QTimer::singleShot(0, this, [&] {
            // Whatever fails inside, the modal loop must end.
            const auto closeDialog = qScopeGuard([this] {
                if (form->isConnectDialogLoaded())
                    form->connectDialog().Unload();
            });
            QTRY_VERIFY(form->isConnectDialogLoaded() && form->connectDialog().isVisible());
            act(form->connectDialog());
            acted = true;
        });
        controls(*form).mnuConnect->trigger();
        QVERIFY(acted);
    }

    std::unique_ptr<frmMain> form;
};

QTEST_MAIN(tst_connectDialog)
#include "tst_connectDialog.moc"
