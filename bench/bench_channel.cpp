// The channel's view of a run: a second client in the channel, on a real server of each family,
// stamps each announcement as the kernel hands it over, and the run starts a second after the
// program joined, when the login's lines still fill the server's account, or later.
//   bench_channel irc2|ngircd|inspircd [minutes] [seconds after the join]
// Prints one table row: the wait at 開始 (the notice's arrival after the click) and each line's
// lateness at the channel against the notice + its second, in ms.

#include "announcements.h"
#include "app/frmMain.h"
#include "formHelpers.h"
#include "irc/ircSession.h"
#include "ircObserver.h"
#include "ircServer.h"
#include "platform/messageBox.h"
#include "programSession.h"
#include "wireTap.h"

#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

const QMap<QString, IrcServer::Family> families {{u"irc2"_s, IrcServer::Family::Irc2},
                                                 {u"ngircd"_s, IrcServer::Family::Ngircd},
                                                 {u"inspircd"_s, IrcServer::Family::Inspircd}};

// The observer's clock (milliseconds since its start) as the run clock reads it.
qint64 runClockMsAt(const IrcObserver &observer)
{
    return platform::RunClock::milliseconds(platform::RunClock::now()) - observer.clock().elapsed();
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QApplication app(argc, argv);
    const QString familyName = QString::fromLatin1(argc > 1 ? argv[1] : "irc2");
    const QString minutes = QString::fromLatin1(argc > 2 ? argv[2] : "1");
    const int afterJoinSeconds = argc > 3 ? std::atoi(argv[3]) : 1;
    platform::setMessageBoxHook([](const platform::MessageBoxRequest &box) {
        std::fprintf(stderr, "message box: %s\n", qPrintable(box.prompt));
        return platform::IDOK;
    });
    ChannelSession session(families.value(familyName));
    if (const QString failure = session.start(u"#Durmast_Velmor"_s); !failure.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(failure));
        return 1;
    }
    IrcObserver &observer = session.observer;
    WireTap tap(observer.localPort());
    const qint64 clockOffsetMs = runClockMsAt(observer);
    QTest::qWait(afterJoinSeconds * 1000);

    controls(session.form).cboMinutes->setEditText(minutes);
    const qint64 clickMs = observer.clock().elapsed();
    session.form.cmdCount_Click();
    const QList<Announcement> expected = minutes == u"0" ? countdownOnlyRun() : oneMinuteRun();
    if (!QTest::qWaitFor([&] { return observer.saidBy("Timer").size() >= expected.size(); },
                         expected.constLast().idealMs + 30000)) {
        std::fprintf(stderr, "%s: %lld of %lld lines\n", qPrintable(familyName),
                     qint64(observer.saidBy("Timer").size()), qint64(expected.size()));
        return 1;
    }
    const QList<IrcObserver::Said> said = observer.saidBy("Timer");
    // Each line's kernel stamp: the last segment handed over before the observer read it.
    const QList<WireTap::Clock::time_point> segments = tap.segments();
    const auto stampOf = [&](const IrcObserver::Said &line) {
        const qint64 readMs = line.arrivedMs + clockOffsetMs;
        qint64 stampMs = readMs;
        for (const WireTap::Clock::time_point &segment : segments) {
            const qint64 segmentMs = platform::RunClock::milliseconds(segment);
            if (segmentMs <= readMs)
                stampMs = segmentMs;
        }
        return stampMs;
    };
    const qint64 originMs = stampOf(said.constFirst());
    QList<qint64> lateness;
    for (qsizetype i = 1; i < expected.size(); ++i) {
        lateness << stampOf(said[i]) - originMs - expected[i].idealMs;
        std::fprintf(stderr, "%s %s: %lld ms\n", qPrintable(familyName),
                     qPrintable(expected[i].text), lateness.constLast());
    }
    std::sort(lateness.begin(), lateness.end());
    std::printf("| %s | %s | %d | %lld | %lld | %lld | %lld | %s |\n", qPrintable(familyName),
                qPrintable(minutes), afterJoinSeconds, originMs - (clickMs + clockOffsetMs),
                qint64(lateness.size()), lateness.at(lateness.size() / 2), lateness.constLast(),
                tap.available() ? "kernel" : "user space");
    return 0;
}
