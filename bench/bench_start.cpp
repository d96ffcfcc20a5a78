// What a start costs before the channel hears of it: the time from the 開始 click to the start
// notice on the wire, for a one-minute and a 120-minute run, on a server whose account holds
// nothing, so that no wait is planned.
//   bench_start
// Prints one table row for each length: 20 starts, min, median and max in ms.

#include "app/frmMain.h"
#include "benchServer.h"
#include "irc/ircSession.h"
#include "platform/messageBox.h"
#include "timer/measurementRun.h"
#include "wireTap.h"

#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QApplication app(argc, argv);
    platform::setMessageBoxHook([](const platform::MessageBoxRequest &) { return platform::IDOK; });
    BenchServer server(0, false);
    QThread serverThread;
    server.moveToThread(&serverThread);
    serverThread.start();
    QMetaObject::invokeMethod(&server, &BenchServer::listen, Qt::BlockingQueuedConnection);
    WireTap tap(server.port());

    frmMain form;
    form.show();
    form.session().connectTo(benchConnection(server.port()));
    if (!QTest::qWaitFor([&] { return form.session().loggedIn(); }, 10000)) {
        std::fprintf(stderr, "the program did not log in\n");
        return 1;
    }
    int failed = 0;
    for (const QString &minutes : {u"1"_s, u"120"_s}) {
        QList<double> startMs;
        for (int i = 0; i < 20; ++i) {
            form.findChild<QComboBox *>(u"cboMinutes"_s)->setEditText(minutes);
            QTest::qWait(100);
            const Clock::time_point click = Clock::now();
            form.cmdCount_Click();
            // The notice is the first segment after the click; where the wire cannot be
            // watched, its arrival at the server's thread.
            Clock::time_point notice {};
            [[maybe_unused]] const bool arrived = QTest::qWaitFor(
                [&] {
                    for (const Clock::time_point segment : tap.segments()) {
                        if (segment >= click)
                            return (notice = segment), true;
                    }
                    for (const BenchServer::Received &line : server.received()) {
                        if (line.at >= click && !tap.available())
                            return (notice = line.at), true;
                    }
                    return false;
                },
                2000);
            form.run().halt();
            if (notice == Clock::time_point {}) {
                ++failed;
                continue;
            }
            startMs << std::chrono::duration<double, std::milli>(notice - click).count();
        }
        std::sort(startMs.begin(), startMs.end());
        if (!startMs.isEmpty())
            std::printf("| %s | %lld | %.2f | %.2f | %.2f | %s |\n", qPrintable(minutes),
                        qlonglong(startMs.size()), startMs.first(), startMs.at(startMs.size() / 2),
                        startMs.last(), tap.available() ? "kernel" : "server's thread");
    }
    serverThread.quit();
    serverThread.wait();
    return failed == 0 ? 0 : 1;
}
