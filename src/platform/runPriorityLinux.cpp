#include "runPriority.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <atomic>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace platform {
namespace {

// Low among real-time priorities (RealtimeKit grants up to 20 by default): above every ordinary
// process, below the system's own real-time threads.
constexpr int runPriority = 10;

// A thread at real-time priority that never sleeps would keep its processor from the desktop
// (a flood of data, say). After this much processor time without sleeping the system sends
// SIGXCPU, and the thread goes back to normal priority for good: the system counts on across
// runs until the thread sleeps, and at the hard limit, which RealtimeKit requires (at most
// 200 ms by default), it would kill the program.
constexpr rlim_t realtimeBudgetUs = 100000;
constexpr rlim_t realtimeHardLimitUs = 200000;

// The thread at raised priority, 0 for none; read by the signal handler.
std::atomic<pid_t> raisedThread {0};
std::atomic<bool> budgetSpent {false};
// Counts the raises, so that a grant that arrives after its run has ended is undone.
quint64 raises = 0;
bool wanted = false;

pid_t currentThread()
{
    return pid_t(::syscall(SYS_gettid));
}

void backToNormal(pid_t thread)
{
    const sched_param normal {};
    ::sched_setscheduler(thread, SCHED_OTHER, &normal);
}

void onRealtimeBudgetSpent(int)
{
    budgetSpent = true;
    if (const pid_t thread = raisedThread.exchange(0))
        backToNormal(thread);
}

void limitRealtimeTime()
{
    static bool limited = false;
    if (limited)
        return;
    limited = true;
    rlimit limit {};
    ::getrlimit(RLIMIT_RTTIME, &limit);
    limit.rlim_max = std::min(limit.rlim_max, realtimeHardLimitUs);
    limit.rlim_cur = std::min(limit.rlim_max, realtimeBudgetUs);
    ::setrlimit(RLIMIT_RTTIME, &limit);
    struct sigaction action
    {
    };
    action.sa_handler = onRealtimeBudgetSpent;
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGXCPU, &action, nullptr);
}

bool takeRealtimePolicy()
{
    // Children started during a run (none today) would not inherit it.
    const sched_param parameters {runPriority};
    return ::sched_setscheduler(0, SCHED_RR | SCHED_RESET_ON_FORK, &parameters) == 0;
}

void askRealtimeKit(pid_t thread)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        u"org.freedesktop.RealtimeKit1"_s, u"/org/freedesktop/RealtimeKit1"_s,
        u"org.freedesktop.RealtimeKit1"_s, u"MakeThreadRealtime"_s);
    call << quint64(thread) << quint32(runPriority);
    // Asked without waiting: the run starts at once, and the grant follows within milliseconds.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 1000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [thread, raise = raises](QDBusPendingCallWatcher *reply) {
                         reply->deleteLater();
                         if (reply->isError())
                             return;
                         if (wanted && raise == raises && !budgetSpent)
                             raisedThread = thread;
                         else
                             backToNormal(thread);
                     });
}

} // namespace

void raiseRunPriority()
{
    wanted = true;
    ++raises;
    if (budgetSpent)
        return;
    limitRealtimeTime();
    if (takeRealtimePolicy()) {
        raisedThread = currentThread();
        return;
    }
    askRealtimeKit(currentThread());
}

void restoreRunPriority()
{
    wanted = false;
    if (const pid_t thread = raisedThread.exchange(0))
        backToNormal(thread);
}

bool runPriorityRaised()
{
    return raisedThread != 0;
}

} // namespace platform
