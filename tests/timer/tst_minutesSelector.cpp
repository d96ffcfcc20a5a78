#include "app/frmMain.h"
#include "formHelpers.h"
#include "messageBoxResponder.h"
#include "platform/windowHelpers.h"
#include "serverSession.h"
#include "timer/minutesText.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString emptyMessage = u"空白は入力できません"_s;
const QString notNumberMessage = u"数字以外は入力できません"_s;
const QString rangeMessage = u"0分～120分まで対応しています"_s;

} // namespace

class tst_minutesSelector : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        form = std::make_unique<frmMain>();
        controls(*form).cboMinutes->setEnabled(true);
    }
    void cleanup() { form.reset(); }

    void presetsKeepTheirOrder()
    {
        QStringList presets;
        for (int i = 0; i < controls(*form).cboMinutes->count(); ++i)
            presets << controls(*form).cboMinutes->itemText(i);
        QCOMPARE(presets,
                 (QStringList {u"0"_s, u"1"_s, u"2"_s, u"3"_s, u"5"_s, u"10"_s, u"15"_s, u"20"_s,
                               u"30"_s, u"45"_s, u"50"_s, u"60"_s, u"90"_s, u"120"_s}));
    }

    void enablingAndDisablingChangeTheLook()
    {
        form.reset();
        ServerSession connected;
        QVERIFY(connected.connect() && connected.logIn());
        QComboBox *box = controls(*connected.form).cboMinutes;
        QVERIFY(box->isEnabled());
        QCOMPARE(box->palette().color(QPalette::Base),
                 platform::systemColour(platform::COLOR_WINDOW));
        connected.form->cmdCount_Click();
        QVERIFY(!box->isEnabled());
        QCOMPARE(box->palette().color(QPalette::Base),
                 platform::systemColour(platform::COLOR_SCROLLBAR));
    }

    void leavingTheBoxValidatesIt_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("after");
        QTest::newRow("empty") << QString() << emptyMessage << u"20"_s;
        QTest::newRow("letters") << u"abc"_s << notNumberMessage << u"20"_s;
        QTest::newRow("blanks only") << u"   "_s << notNumberMessage << u"20"_s;
        QTest::newRow("ideographic blank only") << u"　"_s << notNumberMessage << u"20"_s;
        QTest::newRow("121") << u"121"_s << rangeMessage << u"20"_s;
        QTest::newRow("-1") << u"-1"_s << rangeMessage << u"20"_s;
        QTest::newRow("99999") << u"99999"_s << rangeMessage << u"20"_s;
        QTest::newRow("huge exponent") << u"1e400"_s << rangeMessage << u"20"_s;
        QTest::newRow("past 16 bits") << u"32768"_s << rangeMessage << u"20"_s;
        QTest::newRow("-0.6") << u"-0.6"_s << rangeMessage << u"20"_s;
        QTest::newRow("120.5") << u"120.5"_s << QString() << u"120"_s;
        QTest::newRow("120") << u"120"_s << QString() << u"120"_s;
        QTest::newRow("0") << u"0"_s << QString() << u"0"_s;
        QTest::newRow("blanks around 05") << u" 05 "_s << QString() << u"5"_s;
        QTest::newRow("007") << u"007"_s << QString() << u"7"_s;
        QTest::newRow("7.5") << u"7.5"_s << QString() << u"8"_s;
        QTest::newRow("6.5") << u"6.5"_s << QString() << u"6"_s;
        QTest::newRow("2.5") << u"2.5"_s << QString() << u"2"_s;
        QTest::newRow("3.5") << u"3.5"_s << QString() << u"4"_s;
        QTest::newRow("1e1") << u"1e1"_s << QString() << u"10"_s;
        QTest::newRow("-0.4") << u"-0.4"_s << QString() << u"0"_s;
        QTest::newRow("plus sign") << u"+15"_s << QString() << u"15"_s;
        QTest::newRow("point first") << u".5"_s << QString() << u"0"_s;
        QTest::newRow("tiny exponent") << u"1e-400"_s << QString() << u"0"_s;
        QTest::newRow("full-width digits") << u"２０"_s << QString() << u"20"_s;
        QTest::newRow("full-width sign and point") << u"＋４５．４"_s << QString() << u"45"_s;
        QTest::newRow("ideographic blanks around") << u"　30　"_s << QString() << u"30"_s;
        QTest::newRow("lone sign") << u"-"_s << notNumberMessage << u"20"_s;
        QTest::newRow("lone point") << u"."_s << notNumberMessage << u"20"_s;
        QTest::newRow("inf") << u"inf"_s << notNumberMessage << u"20"_s;
        QTest::newRow("nan") << u"nan"_s << notNumberMessage << u"20"_s;
        QTest::newRow("hex") << u"0x10"_s << notNumberMessage << u"20"_s;
        QTest::newRow("group separator") << u"1,0"_s << notNumberMessage << u"20"_s;
        QTest::newRow("blank inside") << u"1 0"_s << notNumberMessage << u"20"_s;
        QTest::newRow("very long digits") << QString(100000, u'9') << rangeMessage << u"20"_s;
        QTest::newRow("very long zeros") << QString(1000, u'0') + u"7"_s << QString() << u"7"_s;
    }
    void leavingTheBoxValidatesIt()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(QString, after);
        MessageBoxResponder responder;
        controls(*form).cboMinutes->setEditText(typed);
        form->cboMinutes_LostFocus();
        QCOMPARE(controls(*form).cboMinutes->currentText(), after);
        if (message.isEmpty()) {
            QVERIFY(responder.boxes.isEmpty());
        } else {
            QCOMPARE(responder.boxes.size(), 1);
            QCOMPARE(responder.boxes[0].prompt, message);
            QCOMPARE(responder.boxes[0].style, platform::MB_ICONERROR);
            QCOMPARE(responder.boxes[0].title, u"kestrion"_s);
        }
        QVERIFY(controls(*form).cboMinutes->isEnabled());
        QCOMPARE(minutesText::measuringMinutes(after), qint16(after.toInt()));
    }

    void movingTheFocusAwayValidates()
    {
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        controls(*form).cmdCount->setEnabled(true);
        controls(*form).cboMinutes->setFocus();
        QTRY_VERIFY(controls(*form).cboMinutes->hasFocus());
        QTest::keyClicks(controls(*form).cboMinutes, u"x"_s);
        MessageBoxResponder responder;
        controls(*form).cmdCount->setFocus(Qt::MouseFocusReason);
        QCOMPARE(responder.boxes.size(), 1);
        QCOMPARE(responder.boxes[0].prompt, notNumberMessage);
        QCOMPARE(controls(*form).cboMinutes->currentText(), u"20"_s);
    }

    void enterDoesNotAddTheTextToTheList()
    {
        form->show();
        controls(*form).cboMinutes->setEditText(u"7"_s);
        QTest::keyClick(controls(*form).cboMinutes, Qt::Key_Return);
        QCOMPARE(controls(*form).cboMinutes->count(), 14);
    }

private:
    std::unique_ptr<frmMain> form;
};

QTEST_MAIN(tst_minutesSelector)
#include "tst_minutesSelector.moc"
