#include "measurementRun.h"

#include "common/logTimeStamp.h"
#include "minutesText.h"
#include "tickTimer.h"

#include <QTime>

using namespace Qt::StringLiterals;

QString FormatMinSec(qint16 seconds)
{
    return u"%1:%2"_s.arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

MeasurementRun::MeasurementRun(const QString &baseCaption, QObject *parent)
    : QObject(parent)
    , tmrCountTime(new TickTimer(this))
    , strBaseCaption(baseCaption)
{
    tmrCountTime->setObjectName(u"tmrCountTime"_s);
    tmrCountTime->setInterval(1000);
    connect(tmrCountTime, &TickTimer::timeout, this, &MeasurementRun::tmrCountTime_Timer);
    connect(tmrCountTime, &TickTimer::stalled, this, &MeasurementRun::tmrCountTime_Stalled);
}

void MeasurementRun::start(const QString &minutesText)
{
    m_measuringMinutes = minutesText::measuringMinutes(minutesText).value_or(0);
    intElapsed = 0;
    // Every tick of the run is counted from this one reading, taken before anything is sent.
    const auto start = TickTimer::Clock::now();
    emit noticeDue(u"計測時間"_s + minutesText + u"分 "_s + u"カウント開始"_s, false);
    tmrCountTime->start(start);
    if (!tmrCountTime->onSystemTimer())
        emit statusLine(u"[-] システムのタイマを作れないため、Qtのタイマで計ります"_s);
    intCountDown = 10;
    setPhase(Phase::Countdown);
    emit statusLine(u"[t] カウント開始"_s);
}

void MeasurementRun::interrupt()
{
    intElapsed = 0;
    FinishMeasurement(false);
    emit privmsgDue(u"＠＠＠＠計測中断＠＠＠＠"_s, false);
    emit statusLine(u"[t] ユーザによる計測中断"_s);
}

void MeasurementRun::halt()
{
    tmrCountTime->stop();
    m_phase = Phase::Idle;
}

void MeasurementRun::tmrCountTime_Timer(bool stale)
{
    if (m_phase == Phase::Measuring)
        measure(stale);
    else
        countDown(stale);
}

void MeasurementRun::countDown(bool stale)
{
    const qint16 N = m_measuringMinutes;
    const qint16 c = intCountDown;
    if (c >= 10 || c <= 5)
        emit privmsgDue(QString::number(c) + u"＠"_s, stale);
    else if (N == 0)
        emit privmsgDue(QString::number(c), stale);
    if (c != 0) {
        emit captionChanged(strBaseCaption + u" - カウント"_s + QString::number(c));
        intCountDown = c - 1;
        return;
    }
    if (N == 0) {
        FinishMeasurement(stale);
        return;
    }
    emit privmsgDue(u"開始！＠"_s, stale);
    emit statusLine(u"[t] 計測開始"_s);
    setPhase(Phase::Measuring);
    emit captionChanged(strBaseCaption + u" - 計測開始"_s);
}

void MeasurementRun::measure(bool stale)
{
    const qint16 N = m_measuringMinutes;
    ++intElapsed;
    const qint16 e = intElapsed;
    // The line due goes out before the window changes; the caption of the last second would
    // only be replaced by the idle one at once.
    if (e == N * 60) {
        FinishMeasurement(stale);
        return;
    }
    const int k = e / 60;
    const bool minuteMark = e % 60 == 0;
    if (minuteMark) {
        emit privmsgDue(QString::number(k) + u"分経過＠"_s, stale);
        const int r = N - k;
        if (r <= 5 || (N >= 60 && r <= 10))
            emit noticeDue(u"残り"_s + QString::number(r) + u"分"_s, stale);
    }
    if (e >= 5)
        ShowProgressCaption(e);
    if (minuteMark && e % 300 == 0)
        emit statusLine(u"[t] 開始から"_s + QString::number(k) + u"分経過"_s);
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

void MeasurementRun::FinishMeasurement(bool stale)
{
    const bool measured = m_measuringMinutes != 0;
    if (measured) {
        for (int i = 0; i < 3; ++i)
            emit privmsgDue(u"終了＠"_s, stale);
    }
    emit captionChanged(strBaseCaption);
    tmrCountTime->stop();
    setPhase(Phase::Idle);
    emit statusLine(measured ? u"[t] 計測終了"_s : u"[t] カウント終了"_s);
}

void MeasurementRun::setPhase(Phase phase)
{
    m_phase = phase;
    emit phaseChanged();
}
