#include "app/frmMain.h"
#include "formHelpers.h"
#include "platform/windowHelpers.h"
#include "serverSession.h"

#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;

// The chat box under the timer, on a logged-in connection.
class tst_chatInput : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        connected = std::make_unique<ServerSession>(ServerSession::Window::With, u"#x"_s);
        QVERIFY(connected->connect());
        QVERIFY(connected->logIn());
        sentBefore = connected->server->received().size();
    }
    void cleanup() { connected.reset(); }

    void chatInputTurnsOnWithTheHint()
    {
        QLineEdit *input = controls(*connected->form).txtSend;
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
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        controls(form).txtStatus->setFocus(Qt::TabFocusReason);
        controls(form).txtSend->setText(text);
        controls(form).txtSend->setFocus(reason);
        QCOMPARE(controls(form).txtSend->text(), after);
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
        controls(form).txtSend->setText(typed);
        QTest::keyClick(controls(form).txtSend, Qt::Key_Return);
        if (!wire.isEmpty())
            QVERIFY(connected->server->waitForReceived(wire));
        else
            QTest::qWait(20);
        QCOMPARE(sentSinceInit(), wire);
        QCOMPARE(controls(form).txtSend->text(), after);
    }

    void otherKeysSendNothing()
    {
        frmMain &form = *connected->form;
        controls(form).txtSend->setText(u"abc"_s);
        QTest::keyClick(controls(form).txtSend, Qt::Key_Tab);
        QTest::keyClick(controls(form).txtSend, Qt::Key_Escape);
        QTest::qWait(20);
        QCOMPARE(sentSinceInit(), QByteArray());
        QCOMPARE(controls(form).txtSend->text(), u"abc"_s);
    }

private:
    QByteArray sentSinceInit() { return connected->server->received().mid(sentBefore); }

    std::unique_ptr<ServerSession> connected;
    qsizetype sentBefore = 0;
};

QTEST_MAIN(tst_chatInput)
#include "tst_chatInput.moc"
