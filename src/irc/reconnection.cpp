#include "reconnection.h"

#include "reconnectionSchedule.h"

#include <QTimer>

Reconnection::Reconnection(QObject *parent)
    : QObject(parent)
    , m_delay(new QTimer(this))
    , m_loginDeadline(new QTimer(this))
{
    m_delay->setSingleShot(true);
    connect(m_delay, &QTimer::timeout, this, &Reconnection::attemptDue);
    m_loginDeadline->setSingleShot(true);
    connect(m_loginDeadline, &QTimer::timeout, this, &Reconnection::loginOverdue);
}

void Reconnection::start(const QDateTime &lostSince)
{
    m_active = true;
    m_attempt = 0;
    m_lostSince = lostSince;
}

int Reconnection::scheduleNext()
{
    m_loginDeadline->stop();
    const int seconds = reconnectionSchedule::delaySeconds(m_attempt + 1);
    m_delay->start(seconds * m_secondMs);
    return seconds;
}

void Reconnection::beginAttempt()
{
    ++m_attempt;
    m_nickCollisions = 0;
    // Also a connect that hangs is given up in time for the next attempt.
    m_loginDeadline->start(reconnectionSchedule::loginSeconds * m_secondMs);
}

std::optional<QString> Reconnection::nextNickname()
{
    return reconnectionSchedule::alternateNickname(m_target.nick, ++m_nickCollisions);
}

void Reconnection::stop()
{
    m_active = false;
    m_delay->stop();
    m_loginDeadline->stop();
}
