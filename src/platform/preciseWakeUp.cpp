#include "preciseWakeUp.h"

#include <QTimer>

namespace platform {

PreciseWakeUp::PreciseWakeUp(QObject *parent)
    : QObject(parent)
{
    if (makeSystemTimer())
        return;
    m_fallback = new QTimer(this);
    m_fallback->setSingleShot(true);
    m_fallback->setTimerType(Qt::PreciseTimer);
    connect(m_fallback, &QTimer::timeout, this, &PreciseWakeUp::woke);
}

PreciseWakeUp::~PreciseWakeUp()
{
    if (m_system)
        closeSystemTimer();
}

void PreciseWakeUp::wakeAt(Clock::time_point moment)
{
    if (m_system) {
        armSystemTimer(moment);
        return;
    }
    // Rounded up: Qt's timer counts whole milliseconds, and early would be a tick too soon.
    const auto ahead = std::chrono::ceil<std::chrono::milliseconds>(moment - Clock::now());
    m_fallback->start(std::max<qint64>(0, ahead.count()));
}

void PreciseWakeUp::cancel()
{
    if (m_system)
        disarmSystemTimer();
    else
        m_fallback->stop();
}

} // namespace platform
