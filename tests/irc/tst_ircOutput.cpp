#include "app/basGeneral.h"
#include "app/frmMain.h"
#include "formHelpers.h"
#include "platform/socketControl.h"
#include "platform/windowHelpers.h"
#include "serverSession.h"

#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace basGeneral;

class tst_ircOutput : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        connected = std::make_unique<ServerSession>();
        QVERIFY(connected->connect());
        QVERIFY(connected->logIn());
        connected->form->strChannel = u"#x"_s;
        sentBefore = connected->server->received().size();
    }
    void cleanup() { connected.reset(); }

    void linesReachTheWireWithTheirShapes_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("notice") << 0 << u"abc"_s << QByteArray("NOTICE #x :abc\r\n");
        QTest::newRow("message") << 1 << u"abc"_s << QByteArray("PRIVMSG #x :abc\r\n");
        QTest::newRow("join") << 2 << QString() << QByteArray("JOIN #x\r\n");
        QTest::newRow("line") << 3 << u"QUIT"_s << QByteArray("QUIT\r\n");
        QTest::newRow("Japanese") << 1 << u"開始＠"_s
                                  << QByteArray("PRIVMSG #x :\x8a\x4a\x8e\x6e\x81\x97\r\n");
        QTest::newRow("CR LF inside")
            << 1 << u"a\r\nQUIT"_s << QByteArray("PRIVMSG #x :a  QUIT\r\n");
        QTest::newRow("NUL inside") << 3 << u"NICK a\u0000b"_s << QByteArray("NICK a b\r\n");
        QTest::newRow("lone LF") << 3 << u"NICK a\nb"_s << QByteArray("NICK a b\r\n");
    }
    void linesReachTheWireWithTheirShapes()
    {
        QFETCH(int, command);
        QFETCH(QString, text);
        QFETCH(QByteArray, wire);
        switch (command) {
        case 0:
            SendNotice(text);
            break;
        case 1:
            SendPrivmsg(text);
            break;
        case 2:
            JoinChannel();
            break;
        default:
            SendLine(text);
        }
        QVERIFY(connected->server->waitForReceived(wire));
        QCOMPARE(sentSinceInit(), wire);
    }

    void channelWithLineBreakCannotAddACommand()
    {
        connected->form->strChannel = u"#x\nQUIT"_s;
        JoinChannel();
        QVERIFY(connected->server->waitForReceived("\r\n"));
        QCOMPARE(sentSinceInit(), QByteArray("JOIN #x QUIT\r\n"));
    }

    void longChatTextIsOneLine()
    {
        const QString text(600, u'a');
        SendPrivmsg(text);
        QVERIFY(connected->server->waitForReceived("\r\n"));
        QCOMPARE(sentSinceInit(), "PRIVMSG #x :" + QByteArray(600, 'a') + "\r\n");
    }

    void sendingWithoutConnectionIsLogged()
    {
        connected->form->Ws->Close();
        SendPrivmsg(u"abc"_s);
        QCOMPARE(statusEntries(*connected->form).constLast(),
                 u"[-] 未接続のため送信できません: PRIVMSG #x :abc"_s);
        QVERIFY(connected->server->waitForClientGone());
        QCOMPARE(sentSinceInit(), QByteArray());
    }

    void chatInputTurnsOnWithTheHint()
    {
        EnableChatInput();
        QLineEdit *input = connected->form->txtSend;
        QVERIFY(input->isEnabled());
        QCOMPARE(input->text(), u"(Enterキーで文字を送信できます)"_s);
        QCOMPARE(input->palette().color(QPalette::Base),
                 platform::systemColour(platform::COLOR_WINDOW));
    }

    void focusClearsOnlyTheExactHint_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("after");
        QTest::addColumn<Qt::FocusReason>("reason");
        const QString hint = u"(Enterキーで文字を送信できます)"_s;
        QTest::newRow("hint") << hint << QString() << Qt::TabFocusReason;
        QTest::newRow("hint, focus with the window")
            << hint << QString() << Qt::ActiveWindowFocusReason;
        QTest::newRow("hint and one more") << hint + u"x"_s << hint + u"x"_s << Qt::TabFocusReason;
        QTest::newRow("hint less one") << hint.chopped(1) << hint.chopped(1) << Qt::TabFocusReason;
        QTest::newRow("other") << u"hello"_s << u"hello"_s << Qt::TabFocusReason;
    }
    void focusClearsOnlyTheExactHint()
    {
        QFETCH(QString, text);
        QFETCH(QString, after);
        QFETCH(Qt::FocusReason, reason);
        frmMain &form = *connected->form;
        EnableChatInput();
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.txtStatus->setFocus(Qt::TabFocusReason);
        form.txtSend->setText(text);
        form.txtSend->setFocus(reason);
        QCOMPARE(form.txtSend->text(), after);
    }

    void enterSendsTheTrimmedText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("after");
        QTest::newRow("empty") << QString() << QByteArray() << QString();
        QTest::newRow("spaces only") << u"   "_s << QByteArray() << u"   "_s;
        QTest::newRow("ideographic spaces only") << u"　 　"_s << QByteArray() << u"　 　"_s;
        QTest::newRow("spaces around")
            << u"  abc  "_s << QByteArray("PRIVMSG #x :abc\r\n") << QString();
        QTest::newRow("ideographic spaces around")
            << u"　abc　"_s << QByteArray("PRIVMSG #x :abc\r\n") << QString();
        QTest::newRow("tab stays")
            << u"\tabc"_s << QByteArray("PRIVMSG #x :\tabc\r\n") << QString();
        QTest::newRow("inner blanks stay")
            << u"a  b"_s << QByteArray("PRIVMSG #x :a  b\r\n") << QString();
    }
    void enterSendsTheTrimmedText()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, wire);
        QFETCH(QString, after);
        frmMain &form = *connected->form;
        EnableChatInput();
        form.txtSend->setText(typed);
        QTest::keyClick(form.txtSend, Qt::Key_Return);
        if (!wire.isEmpty())
            QVERIFY(connected->server->waitForReceived(wire));
        else
            QTest::qWait(20);
        QCOMPARE(sentSinceInit(), wire);
        QCOMPARE(form.txtSend->text(), after);
    }

    void otherKeysSendNothing()
    {
        frmMain &form = *connected->form;
        EnableChatInput();
        form.txtSend->setText(u"abc"_s);
        QTest::keyClick(form.txtSend, Qt::Key_Tab);
        qint16 letter = 'a';
        form.txtSend_KeyPress(letter);
        QTest::qWait(20);
        QCOMPARE(sentSinceInit(), QByteArray());
        QCOMPARE(form.txtSend->text(), u"abc"_s);
    }

private:
    QByteArray sentSinceInit() { return connected->server->received().mid(sentBefore); }

    std::unique_ptr<ServerSession> connected;
    qsizetype sentBefore = 0;
};

QTEST_MAIN(tst_ircOutput)
#include "tst_ircOutput.moc"
