#include "measurementRun.h"

#include "common/logTimeStamp.h"
#include "minutesText.h"
#include "tickTimer.h"

#include <QTime>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr int countdownTicks = 11;

ScheduledLine privmsg(const QString &text, int tick)
{
    return {ScheduledLine::Kind::Privmsg, text, tick * 1000};
}

ScheduledLine notice(const QString &text, int tick)
{
    return {ScheduledLine::Kind::Notice, text, tick * 1000};
}

} // namespace

QString FormatMinSec(qint16 seconds)
{
    return u"%1:%2"_s.arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

ScheduledLines allRunLines(const QString &minutesText)
{
    const int N = minutesText::measuringMinutes(minutesText).value_or(0);
    ScheduledLines lines {notice(u"計測時間"_s + minutesText + u"分 "_s + u"カウント開始"_s, 0)};
    for (int tick = 1; tick <= countdownTicks; ++tick) {
        const int c = countdownTicks - tick;
        if (c >= 10 || c <= 5)
            lines << privmsg(QString::number(c) + u"＠"_s, tick);
        else if (N == 0)
            lines << privmsg(QString::number(c), tick);
    }
    if (N != 0)
        lines << privmsg(u"開始！＠"_s, countdownTicks);
    lines.last().reportsArrival = true;
    if (N == 0)
        return lines;
    for (int k = 1; k < N; ++k) {
        const int tick = countdownTicks + 60 * k;
        lines << privmsg(QString::number(k) + u"分経過＠"_s, tick);
        const int r = N - k;
        if (r <= 5 || (N >= 60 && r <= 10))
            lines << notice(u"残り"_s + QString::number(r) + u"分"_s, tick);
    }
    const int endTick = countdownTicks + 60 * N;
    lines << privmsg(u"終了＠"_s, endTick) << privmsg(u"終了＠"_s, endTick)
          << privmsg(u"終了＠"_s, endTick);
    lines.last().reportsArrival = true;
    return lines;
}

MeasurementRun::MeasurementRun(const QString &baseCaption, QObject *parent)
    : QObject(parent)
    , tmrCountTime(new TickTimer(this))
    , m_wait(new QTimer(this))
    , strBaseCaption(baseCaption)
{
    m_wait->setSingleShot(true);
    m_wait->setTimerType(Qt::PreciseTimer);
    connect(m_wait, &QTimer::timeout, this, &MeasurementRun::showWait);
    tmrCountTime->setObjectName(u"tmrCountTime"_s);
    tmrCountTime->setInterval(1000);
    connect(tmrCountTime, &TickTimer::timeout, this, &MeasurementRun::tmrCountTime_Timer);
    connect(tmrCountTime, &TickTimer::stalled, this, &MeasurementRun::tmrCountTime_Stalled);
}

void MeasurementRun::start(const QString &minutesText, const ScheduledLines &lines, qint64 waitMs)
{
    m_lines = lines;
    m_nextLine = 0;
    m_measuringMinutes = minutesText::measuringMinutes(minutesText).value_or(0);
    intElapsed = 0;
    if (waitMs <= 0) {
        beginCountdown();
        return;
    }
    m_start = TickTimer::Clock::now() + std::chrono::milliseconds(waitMs);
    setPhase(Phase::Waiting);
    announceSchedule();
    showWait();
}

void MeasurementRun::showWait()
{
    const qint64 leftMs = platform::RunClock::milliseconds(m_start)
        - platform::RunClock::milliseconds(TickTimer::Clock::now());
    if (leftMs <= 0) {
        beginCountdown();
        return;
    }
    const qint64 seconds = (leftMs + 999) / 1000;
    emit captionChanged(strBaseCaption + u" - 開始まであと"_s + QString::number(seconds) + u"秒"_s);
    m_wait->start(int(leftMs - (seconds - 1) * 1000));
}

void MeasurementRun::beginCountdown()
{
    // Every tick of the run is counted from this one reading, taken before anything is sent.
    m_start = TickTimer::Clock::now();
    announceSchedule();
    emitLines(0, false);
    tmrCountTime->start(m_start);
    if (!tmrCountTime->onSystemTimer())
        emit statusLine(u"[-] システムのタイマを作れないため、Qtのタイマで計ります"_s);
    intCountDown = 10;
    setPhase(Phase::Countdown);
    emit statusLine(u"[t] カウント開始"_s);
}

void MeasurementRun::interrupt()
{
    if (m_phase == Phase::Waiting) {
        m_wait->stop();
        emit captionChanged(strBaseCaption);
        setPhase(Phase::Idle);
        emit scheduleChanged({});
        emit statusLine(u"[t] ユーザによりカウントの開始を取りやめました"_s);
        return;
    }
    intElapsed = 0;
    ScheduledLines end(3, {ScheduledLine::Kind::Privmsg, u"終了＠"_s});
    end << ScheduledLine {ScheduledLine::Kind::Privmsg, u"＠＠＠＠計測中断＠＠＠＠"_s};
    end.last().reportsArrival = true;
    emit linesDue(end, false);
    FinishMeasurement();
    emit statusLine(u"[t] ユーザによる計測中断"_s);
}

void MeasurementRun::announceSchedule()
{
    const qint64 startMs = platform::RunClock::milliseconds(m_start);
    const qint64 nowMs = platform::RunClock::milliseconds(TickTimer::Clock::now());
    ScheduledLines upcoming;
    for (qsizetype i = m_nextLine; i < m_lines.size(); ++i) {
        ScheduledLine line = m_lines[i];
        line.dueMs += startMs;
        if (line.dueMs > nowMs)
            upcoming << line;
    }
    emit scheduleChanged(upcoming);
}

void MeasurementRun::emitLines(int tick, bool stale)
{
    ScheduledLines due;
    while (m_nextLine < m_lines.size() && m_lines[m_nextLine].dueMs <= tick * 1000)
        due << m_lines[m_nextLine++];
    if (!due.isEmpty())
        emit linesDue(due, stale);
}

void MeasurementRun::halt()
{
    m_wait->stop();
    tmrCountTime->stop();
    m_phase = Phase::Idle;
}

void MeasurementRun::tmrCountTime_Timer(bool stale)
{
    if (m_phase == Phase::Waiting)
        return;
    if (m_phase == Phase::Measuring)
        measure(stale);
    else
        countDown(stale);
}

void MeasurementRun::countDown(bool stale)
{
    const qint16 c = intCountDown;
    emitLines(countdownTicks - c, stale);
    if (c != 0) {
        emit captionChanged(strBaseCaption + u" - カウント"_s + QString::number(c));
        intCountDown = c - 1;
        return;
    }
    if (m_measuringMinutes == 0) {
        FinishMeasurement();
        return;
    }
    emit statusLine(u"[t] 計測開始"_s);
    setPhase(Phase::Measuring);
    emit captionChanged(strBaseCaption + u" - 計測開始"_s);
}

void MeasurementRun::measure(bool stale)
{
    ++intElapsed;
    const qint16 e = intElapsed;
    // The lines due go out before the window changes; the caption of the last second would
    // only be replaced by the idle one at once.
    emitLines(countdownTicks + e, stale);
    if (e == m_measuringMinutes * 60) {
        FinishMeasurement();
        return;
    }
    if (e >= 5)
        ShowProgressCaption(e);
    if (e % 300 == 0)
        emit statusLine(u"[t] 開始から"_s + QString::number(e / 60) + u"分経過"_s);
}

void MeasurementRun::tmrCountTime_Stalled(platform::RunClock::time_point since,
                                          platform::RunClock::time_point now)
{
    const auto stalledMs = std::chrono::duration_cast<std::chrono::milliseconds>(now - since);
    const QTime resumed = QTime::currentTime();
    emit statusLine(u"[x] "_s + logTimeStamp(resumed.addMSecs(-stalledMs.count())) + u"から"_s
                    + QString::number(stalledMs.count() / 1000)
                    + u"秒間、プログラムが止まっていました"_s);
}

void MeasurementRun::ShowProgressCaption(qint16 elapsed)
{
    if (m_showsRemaining)
        emit captionChanged(strBaseCaption + u" - "_s + u"残り"_s
                            + FormatMinSec(qint16(m_measuringMinutes * 60 - elapsed)));
    else
        emit captionChanged(strBaseCaption + u" - "_s + FormatMinSec(elapsed) + u"経過"_s);
}

// The end's lines have gone out before: at the last second, or at the user's 中断.
void MeasurementRun::FinishMeasurement()
{
    const bool measured = m_measuringMinutes != 0;
    emit captionChanged(strBaseCaption);
    tmrCountTime->stop();
    setPhase(Phase::Idle);
    emit scheduleChanged({});
    emit statusLine(measured ? u"[t] 計測終了"_s : u"[t] カウント終了"_s);
}

void MeasurementRun::setPhase(Phase phase)
{
    m_phase = phase;
    emit phaseChanged();
}
