#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <optional>

class QTimer;

// Mending a connection that was lost without anyone asking: whether it is under way, which
// attempt it is at, the nicknames it tries, and its two timers (the wait before an attempt, and
// the limit on an attempt's login). Whenever it is not under way, both timers are stopped.
class Reconnection : public QObject
{
    Q_OBJECT
public:
    // Where a lost connection is tried again: the host and the nickname as the user chose them
    // (the server may have renamed itself, and an attempt may have logged in under another
    // nickname).
    struct Target
    {
        QString host;
        QString port;
        QString nick;
    };

    explicit Reconnection(QObject *parent = nullptr);

    bool isActive() const { return m_active; }
    const Target &target() const { return m_target; }
    void setTarget(const Target &target) { m_target = target; }
    // The attempt under way or last made, counted from 1.
    int attempt() const { return m_attempt; }
    QDateTime lostSince() const { return m_lostSince; }
    // Tests shorten the schedule: the length of one of its seconds.
    void setSecondMs(int milliseconds) { m_secondMs = milliseconds; }

    void start(const QDateTime &lostSince);
    // Waits for the next attempt; the seconds until it.
    int scheduleNext();
    // The next attempt begins now, under the user's own nickname; its login must complete in
    // time.
    void beginAttempt();
    // The nickname to try after one more collision in this attempt; nothing once all are used.
    std::optional<QString> nextNickname();
    void stop();

signals:
    void attemptDue();
    void loginOverdue();

private:
    bool m_active = false;
    int m_attempt = 0;
    int m_nickCollisions = 0;
    QDateTime m_lostSince;
    int m_secondMs = 1000;
    Target m_target;
    QTimer *m_delay;
    QTimer *m_loginDeadline;
};
