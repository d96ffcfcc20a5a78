#include "preciseWakeUp.h"

#include <QSocketNotifier>
#include <sys/timerfd.h>
#include <unistd.h>

namespace platform {

// The steady clock is CLOCK_MONOTONIC, so its moments arm the timerfd as they are.
struct PreciseWakeUp::System
{
    int descriptor = -1;
    QSocketNotifier *notifier = nullptr;
};

PreciseWakeUp::PreciseWakeUp(QObject *parent)
    : QObject(parent)
    , m_system(new System)
{
    m_system->descriptor = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    Q_ASSERT(m_system->descriptor >= 0);
    m_system->notifier = new QSocketNotifier(m_system->descriptor, QSocketNotifier::Read, this);
    connect(m_system->notifier, &QSocketNotifier::activated, this, [this] {
        quint64 expirations = 0;
        if (::read(m_system->descriptor, &expirations, sizeof expirations) > 0)
            emit woke();
    });
}

PreciseWakeUp::~PreciseWakeUp()
{
    delete m_system->notifier;
    ::close(m_system->descriptor);
    delete m_system;
}

void PreciseWakeUp::wakeAt(Clock::time_point moment)
{
    using namespace std::chrono;
    const nanoseconds sinceBoot = moment.time_since_epoch();
    itimerspec setting {};
    setting.it_value.tv_sec = duration_cast<seconds>(sinceBoot).count();
    setting.it_value.tv_nsec = (sinceBoot % seconds(1)).count();
    // Zero would disarm the timer; a moment that early is long past anyway.
    if (setting.it_value.tv_sec == 0 && setting.it_value.tv_nsec == 0)
        setting.it_value.tv_nsec = 1;
    ::timerfd_settime(m_system->descriptor, TFD_TIMER_ABSTIME, &setting, nullptr);
}

void PreciseWakeUp::cancel()
{
    const itimerspec disarmed {};
    ::timerfd_settime(m_system->descriptor, 0, &disarmed, nullptr);
    // An expiry that came before the cancel must not be heard.
    quint64 expirations = 0;
    (void)::read(m_system->descriptor, &expirations, sizeof expirations);
}

} // namespace platform
