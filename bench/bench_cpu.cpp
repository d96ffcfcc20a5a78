// The processor time of the whole program, every thread of it, per tick of a one-minute run,
// read from outside the process as the system accounts it.
//   bench_cpu
// Starts itself as a second process that is the program's main window and nothing else; that
// one logs in to this one's server, presses 開始 and says when, and says when the run has
// ended; three times. Prints one table row: the process's processor time from the click to the
// end, per tick, in ms, and the share of it that was the window's thread.

#include "app/frmMain.h"
#include "benchServer.h"
#include "irc/ircSession.h"
#include "platform/eventLoop.h"
#include "platform/messageBox.h"
#include "timer/measurementRun.h"
#include "timer/tickTimer.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// The time on a processor of each thread of a process, in ns, as the scheduler counts it to
// the nanosecond (the process's own figures count in ticks of 10 ms, by sampling, and miss
// most of a tick's short work).
QMap<QString, qint64> threadNs(qint64 pid)
{
    const QString tasks = u"/proc/%1/task"_s.arg(pid);
    QMap<QString, qint64> times;
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(tasks + u'/' + task + u"/schedstat"_s);
        if (schedstat.open(QIODevice::ReadOnly))
            times.insert(task, schedstat.readAll().split(' ').value(0).toLongLong());
    }
    return times;
}

// What the threads alive at the end used since the start, in ms: all of it, and the main
// thread's. A thread that ended meanwhile (an idle pool thread) is not counted.
std::pair<double, double> usedMs(qint64 pid, const QMap<QString, qint64> &start,
                                 const QMap<QString, qint64> &end)
{
    qint64 total = 0;
    for (auto it = end.cbegin(); it != end.cend(); ++it)
        total += it.value() - start.value(it.key());
    const QString main = QString::number(pid);
    return {total / 1e6, (end.value(main) - start.value(main)) / 1e6};
}

// The program as its own main() makes it, on its own event loop: nothing of the benchmark runs
// in it while the run is measured.
int runProgram(quint16 port)
{
    int argc = 1;
    char name[] = "kestrion";
    char *argv[] = {name, nullptr};
    platform::useFairEventLoop();
    QApplication app(argc, argv);
    platform::setMessageBoxHook([](const platform::MessageBoxRequest &) { return platform::IDOK; });
    frmMain form;
    form.show();
    QObject::connect(&form.session(), &IrcSession::loggedInToChannel, &form, [&form] {
        QTimer::singleShot(2000, &form, [&form] {
            form.findChild<QComboBox *>(u"cboMinutes"_s)->setEditText(u"1"_s);
            std::printf("click\n");
            std::fflush(stdout);
            form.cmdCount_Click();
        });
    });
    QObject::connect(&form.run(), &MeasurementRun::phaseChanged, &app, [&form, &app] {
        if (form.run().isInProgress())
            return;
        std::printf("end %lld\n", qlonglong(form.run().tickTimer()->ticksDone()));
        std::fflush(stdout);
        app.quit();
    });
    form.session().connectTo(benchConnection(port));
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    if (argc > 2 && std::strcmp(argv[1], "--program") == 0)
        return runProgram(quint16(std::atoi(argv[2])));
    QCoreApplication app(argc, argv);
    BenchServer server(0, false);
    QThread serverThread;
    server.moveToThread(&serverThread);
    serverThread.start();
    QMetaObject::invokeMethod(&server, &BenchServer::listen, Qt::BlockingQueuedConnection);

    // Three runs, each in a process of its own.
    double processTotal = 0, mainTotal = 0;
    qint64 ticks = 0;
    for (int run = 0; run < 3; ++run) {
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QCoreApplication::applicationFilePath(),
                      {u"--program"_s, QString::number(server.port())});
        QMap<QString, qint64> atClick;
        qint64 runTicks = 0;
        const bool ended = QTest::qWaitFor(
            [&] {
                while (program.canReadLine()) {
                    const QByteArray line = program.readLine().trimmed();
                    if (line == "click")
                        atClick = threadNs(program.processId());
                    if (line.startsWith("end ")) {
                        const auto used
                            = usedMs(program.processId(), atClick, threadNs(program.processId()));
                        processTotal += used.first;
                        mainTotal += used.second;
                        runTicks = line.mid(4).toLongLong();
                        return true;
                    }
                }
                return program.state() == QProcess::NotRunning;
            },
            120000);
        program.waitForFinished(5000);
        if (!ended || runTicks == 0) {
            std::fprintf(stderr, "the run did not end\n");
            return 1;
        }
        ticks += runTicks;
    }
    serverThread.quit();
    serverThread.wait();
    std::printf("| %s | %lld | %.2f | %.2f |\n",
                qPrintable(qEnvironmentVariable("QT_QPA_PLATFORM")), qlonglong(ticks),
                processTotal / double(ticks), mainTotal / double(ticks));
    return 0;
}
