// The processor time of the whole program, every thread of it, per tick of a one-minute run,
// read from outside the process as the system accounts it.
//   bench_cpu
// Starts itself as a second process that is the program's main window and nothing else; that
// one logs in to this one's server, presses 開始 and says when, and says when the run has
// ended. Prints one table row: the process's processor time from the click to the end, per
// tick, in ms, and the share of it that was the window's thread.

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
#include <cstdio>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// The time on a processor of one thread, in ns, as the scheduler counts it.
qint64 scheduledNs(const QString &task)
{
    QFile schedstat(task + u"/schedstat"_s);
    return schedstat.open(QIODevice::ReadOnly)
        ? schedstat.readAll().split(' ').value(0).toLongLong()
        : 0;
}

// All threads of the process, and its main thread alone.
std::pair<qint64, qint64> processNs(qint64 pid)
{
    const QString tasks = u"/proc/%1/task"_s.arg(pid);
    qint64 total = 0;
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        total += scheduledNs(tasks + u'/' + task);
    return {total, scheduledNs(tasks + u'/' + QString::number(pid))};
}

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
    ConnectionChoice choice;
    choice.server = u"127.0.0.1"_s;
    choice.port = QString::number(port);
    choice.nick = u"Timer"_s;
    choice.channel = u"#Durmast_Velmor"_s;
    form.session().connectTo(choice);
    if (!QTest::qWaitFor([&] { return form.session().loggedIn(); }, 10000))
        return 1;
    QTest::qWait(2000);
    form.findChild<QComboBox *>(u"cboMinutes"_s)->setEditText(u"1"_s);
    std::printf("click\n");
    std::fflush(stdout);
    form.cmdCount_Click();
    if (!QTest::qWaitFor([&] { return !form.run().isInProgress(); }, 100000))
        return 1;
    std::printf("end %lld\n", qlonglong(form.run().tickTimer()->ticksDone()));
    std::fflush(stdout);
    return 0;
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

    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QCoreApplication::applicationFilePath(),
                  {u"--program"_s, QString::number(server.port())});
    std::pair<qint64, qint64> atClick {}, atEnd {};
    qint64 ticks = 0;
    const bool ended = QTest::qWaitFor(
        [&] {
            while (program.canReadLine()) {
                const QByteArray line = program.readLine().trimmed();
                if (line == "click")
                    atClick = processNs(program.processId());
                if (line.startsWith("end ")) {
                    atEnd = processNs(program.processId());
                    ticks = line.mid(4).toLongLong();
                    return true;
                }
            }
            return program.state() == QProcess::NotRunning;
        },
        120000);
    program.waitForFinished(5000);
    serverThread.quit();
    serverThread.wait();
    if (!ended || ticks == 0) {
        std::fprintf(stderr, "the run did not end\n");
        return 1;
    }
    std::printf("| %s | %lld | %.2f | %.2f |\n",
                qPrintable(qEnvironmentVariable("QT_QPA_PLATFORM")), qlonglong(ticks),
                (atEnd.first - atClick.first) / 1e6 / double(ticks),
                (atEnd.second - atClick.second) / 1e6 / double(ticks));
    return 0;
}
