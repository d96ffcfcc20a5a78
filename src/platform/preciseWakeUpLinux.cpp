#include "preciseWakeUp.h"

#include <QSocketNotifier>
#include <sys/timerfd.h>
#include <unistd.h>

namespace platform {

// The run's clock is CLOCK_BOOTTIME, so its moments arm the timerfd as they are, and a deadline
// that passed while the machine slept wakes the program as it resumes.
struct PreciseWakeUp::System
{
    int descriptor = -1;
    QSocketNotifier *notifier = nullptr;
};

bool PreciseWakeUp::makeSystemTimer()
{
    const int descriptor = ::timerfd_create(CLOCK_BOOTTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (descriptor < 0)
        return false;
    m_system
        = new System {descriptor, new QSocketNotifier(descriptor, QSocketNotifier::Read, this)};
    connect(m_system->notifier, &QSocketNotifier::activated, this, [this] {
        quint64 expirations = 0;
        if (::read(m_system->descriptor, &expirations, sizeof expirations) > 0)
            emit woke();
    });
    return true;
}

void PreciseWakeUp::closeSystemTimer()
{
    delete m_system->notifier;
    ::close(m_system->descriptor);
    delete m_system;
}

void PreciseWakeUp::armSystemTimer(Clock::time_point moment)
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

void PreciseWakeUp::disarmSystemTimer()
{
    const itimerspec disarmed {};
    ::timerfd_settime(m_system->descriptor, 0, &disarmed, nullptr);
    // An expiry that came before the cancel must not be heard.
    quint64 expirations = 0;
    (void)::read(m_system->descriptor, &expirations, sizeof expirations);
}

} // namespace platform
