#include "irc/socketControl.h"
#include "loopbackServer.h"
#include "platform/instanceLock.h"
#include "platform/messageBox.h"

#include <QProcess>
#include <QTest>
#include <QTimer>
#include <windows.h>

using namespace Qt::StringLiterals;
using platform::InstanceLock;

namespace {

// What the user sees of a message box: its buttons, the one Enter presses, whether it shows
// an icon.
struct BoxLook
{
    bool hasOk = false;
    bool hasCancel = false;
    int defaultButton = 0;
    bool hasIcon = false;
};

BOOL CALLBACK findIcon(HWND child, LPARAM found)
{
    wchar_t className[16] = {};
    GetClassNameW(child, className, 16);
    if (lstrcmpiW(className, L"Static") == 0 && (GetWindowLongW(child, GWL_STYLE) & SS_ICON)
        && IsWindowVisible(child) && SendMessageW(child, STM_GETICON, 0, 0))
        *reinterpret_cast<bool *>(found) = true;
    return TRUE;
}

BoxLook lookOf(HWND box)
{
    BoxLook look;
    for (int button : {IDOK, IDCANCEL}) {
        HWND control = GetDlgItem(box, button);
        (button == IDOK ? look.hasOk : look.hasCancel) = control != nullptr;
        if (control && (GetWindowLongW(control, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON)
            look.defaultButton = button;
    }
    EnumChildWindows(box, findIcon, reinterpret_cast<LPARAM>(&look.hasIcon));
    return look;
}

void pressKey(WORD key)
{
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

} // namespace

class tst_windowsPlatform : public QObject
{
    Q_OBJECT

private slots:
    // The user answers with Enter (the default button) or Esc; meanwhile the program's timer
    // ticks and its connection reads on, as they must during a run.
    void nativeBoxShowsTheStyleAndKeepsEventsFlowing_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<bool>("hasCancel");
        QTest::addColumn<int>("defaultButton");
        QTest::addColumn<bool>("hasIcon");
        QTest::addColumn<bool>("escape");
        QTest::addColumn<int>("answer");
        QTest::newRow("0, Enter") << 0 << false << IDOK << false << false << int(IDOK);
        QTest::newRow("0x10, Enter") << 0x10 << false << IDOK << true << false << int(IDOK);
        QTest::newRow("0x131, Enter")
            << 0x131 << true << IDCANCEL << true << false << int(IDCANCEL);
        QTest::newRow("0x131, Esc") << 0x131 << true << IDCANCEL << true << true << int(IDCANCEL);
    }
    void nativeBoxShowsTheStyleAndKeepsEventsFlowing()
    {
        QFETCH(int, style);
        QFETCH(bool, hasCancel);
        QFETCH(int, defaultButton);
        QFETCH(bool, hasIcon);
        QFETCH(bool, escape);
        QFETCH(int, answer);

        LoopbackServer server;
        SocketControl socket;
        QByteArray received;
        connect(&socket, &SocketControl::DataArrival, this, [&] {
            QString block;
            socket.GetData(block);
            received += block.toUtf8();
        });
        socket.Connect(u"127.0.0.1"_s, server.portText());
        QVERIFY(server.waitForClient());
        QTRY_COMPARE(socket.State(), int(SocketControl::sckConnected));

        int ticks = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        ticker.setInterval(50);
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start();

        const QString title = u"ケストリオン検査"_s;
        BoxLook look;
        bool boxSeen = false;
        int ticksWithBox = -1;
        QTimer inspector;
        inspector.setInterval(20);
        connect(&inspector, &QTimer::timeout, this, [&] {
            HWND box = FindWindowW(L"#32770", reinterpret_cast<const wchar_t *>(title.utf16()));
            if (!box)
                return;
            if (!boxSeen) {
                boxSeen = true;
                look = lookOf(box);
                ticksWithBox = ticks;
                server.send("PING :while the box is open\r\n");
                return;
            }
            if (ticks < ticksWithBox + 5 || !received.contains("while the box is open"))
                return;
            inspector.stop();
            SetForegroundWindow(box);
            pressKey(escape ? VK_ESCAPE : VK_RETURN);
        });
        inspector.start();

        const int result = platform::messageBox(u"<b>接続できません</b>"_s, style, title);

        QVERIFY(boxSeen);
        QVERIFY(look.hasOk);
        QCOMPARE(look.hasCancel, hasCancel);
        QCOMPARE(look.defaultButton, defaultButton);
        QCOMPARE(look.hasIcon, hasIcon);
        QVERIFY(ticks >= ticksWithBox + 5);
        QVERIFY(received.contains("while the box is open"));
        QCOMPARE(result, answer);
    }

    void oneCopyPerSessionUntilItEnds()
    {
        auto first = std::make_unique<InstanceLock>();
        QCOMPARE(first->tryAcquire(), InstanceLock::Outcome::Acquired);
        InstanceLock second;
        QCOMPARE(second.tryAcquire(), InstanceLock::Outcome::HeldByAnotherCopy);
        first.reset();
        QCOMPARE(second.tryAcquire(), InstanceLock::Outcome::Acquired);
    }

    void killedCopyDoesNotBlockTheNextStart()
    {
        QProcess program;
        program.start(QStringLiteral(KESTRION_BINARY), {});
        QVERIFY(program.waitForStarted());
        const auto outcome = [] { return InstanceLock().tryAcquire(); };
        QTRY_COMPARE_WITH_TIMEOUT(outcome(), InstanceLock::Outcome::HeldByAnotherCopy, 30000);
        program.kill();
        QVERIFY(program.waitForFinished());
        QTRY_COMPARE(outcome(), InstanceLock::Outcome::Acquired);
    }
};

QTEST_MAIN(tst_windowsPlatform)
#include "tst_windowsPlatform.moc"
