// Tick accuracy of a real two-minute run, optionally under a flood of server traffic.
//   bench_timing precise|tls|flood|glib
// (glib: the flood on Qt's default GLib event loop, for comparison)
// Prints one table row: announcement deviations as the server received them, the tick
// handler's own deviations, and for the flood the ingest rate, peak RSS and event latency.

#include "app/frmMain.h"
#include "app/frmServerLog.h"
#include "app/logView.h"
#include "benchServer.h"
#include "platform/eventLoop.h"
#include "platform/messageBox.h"
#include "platform/socketControl.h"
#include "timer/tickTimer.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
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

double peakRssMb()
{
    QFile status(u"/proc/self/status"_s);
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return 0;
}

void waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// The tick each announcement of a two-minute run belongs to.
int idealTick(const QString &text)
{
    static const QMap<QString, int> ticks {
        {u"10＠"_s, 1},       {u"5＠"_s, 6},     {u"4＠"_s, 7},  {u"3＠"_s, 8},
        {u"2＠"_s, 9},        {u"1＠"_s, 10},    {u"0＠"_s, 11}, {u"開始！＠"_s, 11},
        {u"1分経過＠"_s, 71}, {u"終了＠"_s, 131}};
    if (text.startsWith(u"計測時間"_s))
        return 0;
    return ticks.value(text, -1);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const QString mode = QString::fromLatin1(argc > 1 ? argv[1] : "precise");
    const bool flood = mode == u"flood"_s;
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

    BenchServer server(flood || mode == u"glib"_s ? qint64(100) << 20 : 0, tls);
    QThread serverThread;
    server.moveToThread(&serverThread);
    serverThread.start();
    QMetaObject::invokeMethod(&server, &BenchServer::listen, Qt::BlockingQueuedConnection);

    frmMain form;
    form.show();
    form.strServer = u"127.0.0.1"_s;
    form.strNick = u"Timer"_s;
    form.strChannel = u"#Durmast_Velmor"_s;
    form.Ws->setTls(tls);
    form.Ws->Connect(form.strServer, QString::number(server.port()));
    waitUntil([&] { return form.loggedIn(); }, 10000);
    if (!form.loggedIn()) {
        std::fprintf(stderr, "the program did not log in\n");
        return 1;
    }

    // Event latency: a probe thread posts a stamped call to the UI thread every 10 ms.
    QObject probeTarget;
    QList<double> latenciesMs;
    std::atomic<bool> probing = true;
    std::thread probe([&] {
        while (probing) {
            std::this_thread::sleep_for(10ms);
            const Clock::time_point posted = Clock::now();
            QMetaObject::invokeMethod(&probeTarget, [&latenciesMs, posted] {
                latenciesMs << duration<double, std::milli>(Clock::now() - posted).count();
            });
        }
    });

    QList<Clock::time_point> tickTimes;
    QObject::connect(form.tmrCountTime, &TickTimer::timeout, &probeTarget,
                     [&] { tickTimes << Clock::now(); });

    waitUntil([] { return false; }, 1000);
    if (server.floodBytes() > 0) {
        server.startFlood();
        waitUntil([] { return false; }, 1000);
    }
    form.cboMinutes->setEditText(u"2"_s);
    const Clock::time_point click = Clock::now();
    form.cmdCount_Click();
    waitUntil([&] { return !form.tmrCountTime->isActive(); }, 200000);
    waitUntil([&] { return server.floodBytes() == 0 || server.floodDone(); }, 300000);
    waitUntil([] { return false; }, 500);
    probing = false;
    probe.join();

    QList<double> wireDeviations;
    QList<std::pair<double, double>> wirePoints;
    platform::Cp932Decoder decoder;
    for (const BenchServer::Received &received : server.received()) {
        if (received.at < click)
            continue;
        const qsizetype colon = received.line.indexOf(" :");
        const int tick = idealTick(decoder.decode(received.line.mid(colon + 2)));
        if (tick < 0)
            continue;
        const double deviation
            = duration<double, std::milli>(received.at - click).count() - tick * 1000.0;
        wireDeviations << deviation;
        wirePoints.append({tick, deviation});
    }
    QList<double> tickDeviations;
    QList<std::pair<double, double>> tickPoints;
    for (qsizetype i = 0; i < tickTimes.size(); ++i) {
        const double deviation
            = duration<double, std::milli>(tickTimes[i] - click).count() - (i + 1) * 1000.0;
        tickDeviations << deviation;
        tickPoints.append({i + 1, deviation});
    }

    const Figures wire = figuresOf(wireDeviations);
    const Figures ticks = figuresOf(tickDeviations);
    const Figures latency = figuresOf(latenciesMs);
    std::printf("| %-7s | %2lld | %6.2f | %6.2f | %7.4f | %3lld | %6.2f | %6.2f | %7.4f | %6.2f | "
                "%6.2f |",
                qPrintable(mode), qlonglong(wireDeviations.size()), wire.median, wire.max,
                slopeOf(wirePoints), qlonglong(tickDeviations.size()), ticks.median, ticks.max,
                slopeOf(tickPoints), latency.median, latency.max);
    if (server.floodBytes() > 0) {
        const QString log = form.serverLog().txtRec->logText();
        const bool newestKept
            = log.lastIndexOf(QString::fromLatin1(server.lastFloodMessage())) > log.size() - 300000;
        std::printf(" %.1f MB/s, peak RSS %.0f MB, %lld log lines, newest kept: %s |",
                    server.floodBytes() / double(1 << 20) / server.floodSeconds(), peakRssMb(),
                    qlonglong(log.count(u'\n') + 1), newestKept ? "yes" : "no");
    }
    std::printf("\n");
    serverThread.quit();
    serverThread.wait();
    return 0;
}
