#pragma once

#include "irc/scheduledLine.h"
#include "platform/runClock.h"

#include <QObject>
#include <QString>

class QTimer;
class TickTimer;

// "mm:ss" of a number of seconds.
QString FormatMinSec(qint16 seconds);
// All a run of the checked minutes text says but 中断's lines, due in milliseconds from the
// start: tick 0 is the start, ticks 1 to 11 the countdown, tick 11 + e the measurement's
// second e.
ScheduledLines allRunLines(const QString &minutesText);

// One run: the ten-second countdown, then N minutes measured. It keeps the time and says what
// is due each second; the lines go to the channel and the caption to the window through its
// signals, the line always first.
class MeasurementRun : public QObject
{
    Q_OBJECT
public:
    // Waiting: started, and holding the countdown until the channel can get it on time.
    enum class Phase { Idle, Waiting, Countdown, Measuring };

    // baseCaption: the window's caption when no run is shown in it.
    explicit MeasurementRun(const QString &baseCaption, QObject *parent = nullptr);

    Phase phase() const { return m_phase; }
    bool isInProgress() const { return m_phase != Phase::Idle; }
    TickTimer *tickTimer() const { return tmrCountTime; }
    // The caption shows the time left instead of the time gone.
    void setShowsRemaining(bool remaining) { m_showsRemaining = remaining; }

    // minutesText: the minutes box's checked text, N in the form the user gave it; lines: its
    // allRunLines(). waitMs: how long the countdown waits, all of it shifted together.
    void start(const QString &minutesText, const ScheduledLines &lines, qint64 waitMs = 0);
    // The user's 中断 of the wait, which sends nothing, or of the measurement.
    void interrupt();
    // The program ends: the ticks stop, and nothing more is announced.
    void halt();
    // stale: the tick's moment passed while the machine froze or slept.
    void tmrCountTime_Timer(bool stale = false);

signals:
    // The lines due at one moment, to be written together.
    void linesDue(const ScheduledLines &lines, bool stale);
    // What the run has still to say, due on the run clock in milliseconds; empty once it is
    // over.
    void scheduleChanged(const ScheduledLines &upcoming);
    void captionChanged(const QString &caption);
    void statusLine(const QString &text);
    void phaseChanged();

private:
    void beginCountdown();
    void showWait();
    void announceSchedule();
    void emitLines(int tick, bool stale);
    void tmrCountTime_Stalled(platform::RunClock::time_point since,
                              platform::RunClock::time_point now);
    void countDown(bool stale);
    void measure(bool stale);
    void ShowProgressCaption(qint16 elapsed);
    void FinishMeasurement();
    void setPhase(Phase phase);

    TickTimer *tmrCountTime;
    QTimer *m_wait;
    platform::RunClock::time_point m_start;
    const QString strBaseCaption;
    ScheduledLines m_lines;
    // The first of m_lines not yet due.
    qsizetype m_nextLine = 0;
    Phase m_phase = Phase::Idle;
    qint16 m_measuringMinutes = 0;
    qint16 intCountDown = 0;
    qint16 intElapsed = 0;
    bool m_showsRemaining = false;
};
