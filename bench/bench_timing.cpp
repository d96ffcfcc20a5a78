// Tick accuracy of a real one-minute run, as the server receives it.
//   bench_timing plain|tls|flood|glib|reconnect|busy
// The window shows on the platform Qt is given: offscreen, an X11 display, or Windows (under
// Wine). flood: the server floods the program with 100 MB meanwhile; glib: the same on Qt's
// default GLib event loop; reconnect: the server drops the program once and the run starts
// after the reconnection; busy: two processes that only compute, at normal priority, hold
// both processors meanwhile. Prints one table row: each announcement's lateness on the wire
// against the start notice + k s, where a tick's time goes (the system's wake-up against the
// moment asked for, the deadline to the line's write, the write to the wire), and the
// processor time the program's thread used per tick.

#include "app/frmMain.h"
#include "app/frmServerLog.h"
#include "app/logView.h"
#include "benchServer.h"
#include "irc/ircSession.h"
#include "irc/socketControl.h"
#include "platform/eventLoop.h"
#include "platform/messageBox.h"
#include "threadCpu.h"
#include "timer/measurementRun.h"
#include "timer/tickTimer.h"
#include "wireTap.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

using namespace Qt::StringLiterals;
using namespace std::chrono;

namespace {

struct Figures
{
    double min = 0, median = 0, max = 0;
};

Figures figuresOf(QList<double> values)
{
    if (values.isEmpty())
        return {};
    std::sort(values.begin(), values.end());
    return {values.first(), values.at(values.size() / 2), values.last()};
}

// Least-squares slope of deviation over tick number: the drift per tick.
double slopeOf(const QList<std::pair<double, double>> &points)
{
    double n = points.size(), sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const auto &[x, y] : points) {
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    const double d = n * sxx - sx * sx;
    return d == 0 ? 0 : (n * sxy - sx * sy) / d;
}

// Linux only; elsewhere 0, and the figure is left out.
double peakRssMb()
{
#ifdef Q_OS_LINUX
    QFile status(u"/proc/self/status"_s);
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
#endif
    return 0;
}

// Waits in a sleeping event loop, as the program's own loop waits between ticks; a spinning
// wait would keep the processor awake and hide the cost of waking it.
void waitUntil(const std::function<bool()> &done, int timeoutMs, int checkEveryMs = 100)
{
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || elapsed.elapsed() >= timeoutMs)
            loop.quit();
    });
    check.start(checkEveryMs);
    if (!done())
        loop.exec();
}

// When the event loop hands the tick timer its wake-up, the moment it was asked for, and the
// deadline.
class WakeUpWatch : public QObject
{
public:
    struct WakeUp
    {
        Clock::time_point at, askedFor, due;
    };

    // The timer's wake-up notifier is made at each run's start, so the whole application is
    // watched for it.
    explicit WakeUpWatch(TickTimer *timer)
        : m_timer(timer)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    QList<WakeUp> wakeUps;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if ((event->type() == QEvent::SockAct || event->type() == QEvent::WinEventAct)
            && m_timer->isActive() && watched->parent() && watched->parent()->parent() == m_timer)
            wakeUps.append(
                {Clock::now(), m_timer->nextDue() - m_timer->wakeUpLead(), m_timer->nextDue()});
        return false;
    }

private:
    TickTimer *m_timer;
};

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return duration<double, std::milli>(to - from).count();
}

} // namespace

int main(int argc, char *argv[])
{
    // The busy run's companions.
    if (argc > 1 && std::strcmp(argv[1], "--compute") == 0) {
        for (volatile quint64 n = 0;; n = n + 1) { }
    }
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const QString mode = QString::fromLatin1(argc > 1 ? argv[1] : "plain");
    const bool flood = mode == u"flood"_s || mode == u"glib"_s;
    // As the program's own main() does; "glib" measures Qt's default loop for comparison.
    if (mode != u"glib"_s)
        platform::useFairEventLoop();
    QApplication app(argc, argv);
    const bool tls = mode == u"tls"_s;
    // The TLS run's server shows a self-signed certificate, trusted as a user would.
    platform::setMessageBoxHook([](const platform::MessageBoxRequest &box) {
        if (box.style == platform::MB_WARY_QUESTION)
            return platform::IDYES;
        std::fprintf(stderr, "message box: %s\n", qPrintable(box.prompt));
        return platform::IDOK;
    });

    BenchServer server(flood ? qint64(100) << 20 : 0, tls);
    QThread serverThread;
    server.moveToThread(&serverThread);
    serverThread.start();
    QMetaObject::invokeMethod(&server, &BenchServer::listen, Qt::BlockingQueuedConnection);
    WireTap tap(server.port());
    const auto fail = [&](const char *why) {
        std::fprintf(stderr, "%s\n", why);
        serverThread.quit();
        serverThread.wait();
        return 1;
    };

    frmMain form;
    form.show();
    form.session().connectTo(benchConnection(server.port(), tls));
    waitUntil([&] { return form.session().loggedIn(); }, 10000);
    if (mode == u"reconnect"_s) {
        QMetaObject::invokeMethod(&server, &BenchServer::dropClient, Qt::BlockingQueuedConnection);
        waitUntil([&] { return !form.session().loggedIn(); }, 10000);
        waitUntil([&] { return form.session().loggedIn(); }, 60000);
    }
    if (!form.session().loggedIn())
        return fail("the program did not log in");

    // Event latency under the flood: a probe thread posts a stamped call to the UI thread every
    // 10 ms. Not in the other runs, where its wake-ups would keep the processor awake.
    QObject probeTarget;
    QList<double> latenciesMs;
    std::atomic<bool> probing = flood;
    std::thread probe([&] {
        while (probing) {
            std::this_thread::sleep_for(10ms);
            const Clock::time_point posted = Clock::now();
            QMetaObject::invokeMethod(&probeTarget, [&latenciesMs, posted] {
                latenciesMs << msBetween(posted, Clock::now());
            });
        }
    });

    WakeUpWatch wakeUpWatch(form.run().tickTimer());
    // The lines due at one moment leave in one write; the tick it belongs to is the program's
    // own count of ticks when it was written, the start notice's 0.
    struct Write
    {
        Clock::time_point at;
        qint64 tick;
        qint64 bytes;
    };
    QList<Write> writes;
    QObject::connect(form.session().socket()->findChild<QSslSocket *>(), &QIODevice::bytesWritten,
                     &probeTarget, [&](qint64 bytes) {
                         writes.append({Clock::now(), form.run().tickTimer()->ticksDone(), bytes});
                     });

    waitUntil([] { return false; }, 1000);
    if (flood) {
        server.startFlood();
        waitUntil([] { return false; }, 1000);
    }
    // Two processes that only compute, at normal priority, as a build or a busy browser tab.
    QList<QProcess *> busy;
    if (mode == u"busy"_s) {
        for (int i = 0; i < 2; ++i) {
            busy << new QProcess(&app);
            busy.last()->start(QString::fromLatin1(argv[0]), {u"--compute"_s});
        }
        waitUntil([] { return false; }, 1000);
    }
    form.findChild<QComboBox *>(u"cboMinutes"_s)->setEditText(u"1"_s);
    const Clock::time_point click = Clock::now();
    writes.clear();
    const double cpuBefore = threadCpuMs();
    form.cmdCount_Click();
    // Checked seldom, so that the wait's own wake-ups hardly count in the processor time.
    waitUntil([&] { return !form.run().tickTimer()->isActive(); }, 100000, 3000);
    const double cpuPerTick = (threadCpuMs() - cpuBefore) / form.run().tickTimer()->ticksDone();
    for (QProcess *process : busy)
        process->kill();
    waitUntil([&] { return !flood || server.floodDone(); }, 300000);
    waitUntil([] { return false; }, 500);
    probing = false;
    probe.join();

    // Where the wire can be watched, a line's time is when its write passed the loopback
    // interface; otherwise when the server's thread read it. Every write is one segment.
    QList<BenchServer::Received> received;
    for (const BenchServer::Received &line : server.received()) {
        if (line.at >= click)
            received << line;
    }
    QList<Clock::time_point> segments;
    for (Clock::time_point segment : tap.segments()) {
        if (segment >= click)
            segments << segment;
    }
    const bool onTheWire = segments.size() == writes.size();
    struct Line
    {
        int tick;
        Clock::time_point at;
        // The write that carried it.
        qsizetype write;
    };
    // Each write carries whole lines: the received lines are shared out by their bytes.
    QList<Line> lines;
    qsizetype write = 0;
    qint64 bytesLeft = writes.value(0).bytes;
    for (const BenchServer::Received &line : std::as_const(received)) {
        if (write >= writes.size())
            return fail("the lines written and received differ");
        // The PING that asks for a group's arrival is no announcement.
        if (!line.line.startsWith("PING "))
            lines.append({int(writes[write].tick), onTheWire ? segments[write] : line.at, write});
        bytesLeft -= line.line.size() + 2;
        if (bytesLeft <= 0 && ++write < writes.size())
            bytesLeft = writes[write].bytes;
    }
    if (write != writes.size())
        return fail("the lines written and received differ");
    if (lines.isEmpty())
        return fail("the start notice did not arrive");
    QList<double> lateness;
    QList<std::pair<double, double>> latenessPoints;
    for (const Line &line : lines.sliced(1)) {
        const double late = msBetween(lines.first().at, line.at) - line.tick * 1000.0;
        lateness << late;
        latenessPoints.append({line.tick, late});
    }
    // The system's wake-up against the moment it was asked for, a lead before the deadline.
    QList<double> wakeUpLate;
    for (const WakeUpWatch::WakeUp &wakeUp : wakeUpWatch.wakeUps)
        wakeUpLate << msBetween(wakeUp.askedFor, wakeUp.at);
    // The write's stamp is taken when the socket has handed the bytes to the system.
    QList<double> toWrite, toWire;
    if (!wakeUpWatch.wakeUps.isEmpty()) {
        const Clock::time_point start = wakeUpWatch.wakeUps.first().due - 1s;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const Write &carried = writes[lines[i].write];
            toWrite << msBetween(start + lines[i].tick * 1s, carried.at);
            toWire << msBetween(carried.at, lines[i].at);
        }
    }

    const Figures late = figuresOf(lateness);
    const Figures wakeUp = figuresOf(wakeUpLate);
    const Figures work = figuresOf(toWrite);
    const Figures transit = figuresOf(toWire);
    std::printf("| %s %s%s | %2lld | %5.2f | %5.2f | %7.4f | %5.2f | %5.2f | %5.2f | %5.2f | %5.2f "
                "| %5.2f | %5.2f |",
                qPrintable(QGuiApplication::platformName()), qPrintable(mode),
                onTheWire ? "" : " (server's stamps)", qlonglong(lateness.size()), late.median,
                late.max, slopeOf(latenessPoints), wakeUp.median, wakeUp.max, work.median, work.max,
                transit.median, transit.max, cpuPerTick);
    if (flood) {
        const Figures latency = figuresOf(latenciesMs);
        const QString log = form.serverLog().txtRec->logText();
        const bool newestKept
            = log.lastIndexOf(QString::fromLatin1(server.lastFloodMessage())) > log.size() - 300000;
        std::printf(" %.1f MB/s, event latency %.2f / %.2f ms, ",
                    server.floodBytes() / double(1 << 20) / server.floodSeconds(), latency.median,
                    latency.max);
        const double rss = peakRssMb();
        if (rss > 0)
            std::printf("peak RSS %.0f MB, ", rss);
        std::printf("%lld log lines, newest kept: %s |", qlonglong(log.count(u'\n') + 1),
                    newestKept ? "yes" : "no");
    } else {
        std::printf(" |");
    }
    std::printf("\n");
    serverThread.quit();
    serverThread.wait();
    return 0;
}
