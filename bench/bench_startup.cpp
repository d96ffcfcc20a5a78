// Start-up and idle cost of the program.
//   bench_startup <path to kestrion>
// Starts the main window 20 times and reports the time from process start to its first
// paint and the resident memory after start; then leaves the real program idle and offline
// for a minute and counts how often any of its threads woke up.

#include "app/frmMain.h"
#include "platform/eventLoop.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>

using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

QByteArray statusField(const QString &path, const QByteArray &field)
{
    QFile status(path);
    if (!status.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').first();
    }
    return {};
}

// Voluntary and involuntary context switches of all threads of a process.
qint64 wakeUps(qint64 pid)
{
    qint64 total = 0;
    const QString tasks = u"/proc/%1/task"_s.arg(pid);
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString path = tasks + u'/' + task + u"/status"_s;
        total += statusField(path, "voluntary_ctxt_switches:").toLongLong()
            + statusField(path, "nonvoluntary_ctxt_switches:").toLongLong();
    }
    return total;
}

class FirstPaintReporter : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_reported) {
            m_reported = true;
            std::printf("paint %lld\n", qlonglong(nowNs()));
            QTimer::singleShot(500, qApp, [] {
                std::printf("rss %s\n", statusField(u"/proc/self/status"_s, "VmRSS:").constData());
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_reported = false;
};

int runChild(int argc, char *argv[])
{
    platform::useFairEventLoop();
    QApplication app(argc, argv);
    frmMain window;
    FirstPaintReporter reporter;
    window.installEventFilter(&reporter);
    window.show();
    return app.exec();
}

QProcessEnvironment childEnvironment(const QTemporaryDir &runtime)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    environment.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
    return environment;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_startup <path to kestrion>\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    QTemporaryDir runtime;

    QList<double> paintMs;
    QList<double> rssMb;
    for (int run = 0; run < 20; ++run) {
        QProcess child;
        child.setProcessEnvironment(childEnvironment(runtime));
        const qint64 started = nowNs();
        child.start(QCoreApplication::applicationFilePath(), {u"--child"_s});
        child.waitForFinished(30000);
        for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
            if (line.startsWith("paint "))
                paintMs << (line.mid(6).toLongLong() - started) / 1e6;
            else if (line.startsWith("rss "))
                rssMb << line.mid(4).toDouble() / 1024;
        }
    }
    std::sort(paintMs.begin(), paintMs.end());
    std::sort(rssMb.begin(), rssMb.end());
    if (paintMs.isEmpty() || rssMb.isEmpty()) {
        std::fprintf(stderr, "the window never painted\n");
        return 1;
    }

    QProcess idle;
    idle.setProcessEnvironment(childEnvironment(runtime));
    idle.start(QString::fromLocal8Bit(argv[1]), {});
    idle.waitForStarted();
    QThread::sleep(5);
    const qint64 before = wakeUps(idle.processId());
    QThread::sleep(60);
    const qint64 after = wakeUps(idle.processId());
    idle.kill();
    idle.waitForFinished();

    std::printf("| first paint (ms) | %.0f | %.0f | %.0f |\n", paintMs.first(),
                paintMs.at(paintMs.size() / 2), paintMs.last());
    std::printf("| RSS after start (MB) | %.1f | %.1f | %.1f |\n", rssMb.first(),
                rssMb.at(rssMb.size() / 2), rssMb.last());
    std::printf("| wake-ups per minute, idle and offline | | %lld | |\n",
                qlonglong(after - before));
    return 0;
}
