#include "app/basGeneral.h"
#include "app/frmMain.h"
#include "minutesText.h"
#include "tickTimer.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTime>

using namespace Qt::StringLiterals;
using namespace basGeneral;

namespace basGeneral {

QString FormatMinSec(qint16 seconds)
{
    return u"%1:%2"_s.arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace basGeneral

qint16 frmMain::measuringMinutes() const
{
    return minutesText::measuringMinutes(cboMinutes->currentText()).value_or(0);
}

bool frmMain::isRunInProgress() const
{
    return tmrCountTime->isActive();
}

void frmMain::cmdCount_Click()
{
    if (blnStartWar) {
        mnuDisconnect->setEnabled(false);
        intElapsed = 0;
        FinishMeasurement(strBaseCaption);
        SendPrivmsg(u"＠＠＠＠計測中断＠＠＠＠"_s);
        AddStatusLog(u"[t] ユーザによる計測中断"_s);
        return;
    }

    // The box is validated whenever it loses the focus; this catches a start that came without
    // a focus change, so that every read during the run gives a valid N.
    if (minutesText::check(cboMinutes->currentText()).text != cboMinutes->currentText())
        cboMinutes_LostFocus();

    mnuDisconnect->setEnabled(false);
    intElapsed = 0;
    // Every tick of the run is counted from this one reading, taken before anything is sent.
    const auto start = TickTimer::Clock::now();
    SendNotice(u"計測時間"_s + cboMinutes->currentText() + u"分 "_s + u"カウント開始"_s);
    StartTickTimer(start);
    DisableMinutes();
    intCountDown = 10;
    cmdCount->setText(u"中断"_s);
    cmdCount->setEnabled(false);
    AddStatusLog(u"[t] カウント開始"_s);
}

void frmMain::tmrCountTime_Timer()
{
    const qint16 N = measuringMinutes();
    if (!blnStartWar) {
        const qint16 c = intCountDown;
        if (c >= 10 || c <= 5)
            SendPrivmsg(QString::number(c) + u"＠"_s);
        else if (N == 0)
            SendPrivmsg(QString::number(c));
        if (c != 0) {
            setWindowTitle(strBaseCaption + u" - カウント"_s + QString::number(c));
            intCountDown = c - 1;
            return;
        }
        if (N == 0) {
            FinishMeasurement(strBaseCaption);
            return;
        }
        SendPrivmsg(u"開始！＠"_s);
        AddStatusLog(u"[t] 計測開始"_s);
        blnStartWar = true;
        cmdCount->setEnabled(true);
        setWindowTitle(strBaseCaption + u" - 計測開始"_s);
        return;
    }

    ++intElapsed;
    const qint16 e = intElapsed;
    // The line due goes out before the window changes; the caption of the last second would
    // only be replaced by the idle one at once.
    if (e == N * 60) {
        FinishMeasurement(strBaseCaption);
        return;
    }
    const int k = e / 60;
    const bool minuteMark = e % 60 == 0;
    if (minuteMark) {
        SendPrivmsg(QString::number(k) + u"分経過＠"_s);
        const int r = N - k;
        if (r <= 5 || (N >= 60 && r <= 10))
            SendNotice(u"残り"_s + QString::number(r) + u"分"_s);
    }
    if (e >= 5)
        ShowProgressCaption(strBaseCaption, e);
    if (minuteMark && e % 300 == 0)
        AddStatusLog(u"[t] 開始から"_s + QString::number(k) + u"分経過"_s);
}

void frmMain::tmrCountTime_Stalled(platform::RunClock::time_point since,
                                   platform::RunClock::time_point now)
{
    const auto stalledMs = std::chrono::duration_cast<std::chrono::milliseconds>(now - since);
    const QTime resumed = QTime::currentTime();
    AddStatusLog(u"[x] "_s + logTimeStamp(resumed.addMSecs(-stalledMs.count())) + u"から"_s
                 + QString::number(stalledMs.count() / 1000)
                 + u"秒間、プログラムが止まっていました"_s);
}

void frmMain::ShowProgressCaption(const QString &baseCaption, qint16 elapsed)
{
    if (mnuRestTime->isChecked())
        setWindowTitle(baseCaption + u" - "_s + u"残り"_s
                       + FormatMinSec(qint16(measuringMinutes() * 60 - elapsed)));
    else
        setWindowTitle(baseCaption + u" - "_s + FormatMinSec(elapsed) + u"経過"_s);
}

void frmMain::FinishMeasurement(const QString &caption)
{
    const bool measured = measuringMinutes() != 0;
    if (measured) {
        for (int i = 0; i < 3; ++i)
            SendPrivmsg(u"終了＠"_s);
    }
    // A run that ends while offline leaves the offline look; see also the login and close
    // handling, which leave a running run's controls alone.
    setWindowTitle(caption);
    if (blnLoggedIn)
        EnableMinutes();
    StopTickTimer();
    cmdCount->setText(u"開始"_s);
    cmdCount->setEnabled(blnLoggedIn);
    mnuDisconnect->setEnabled(blnLoggedIn || isReconnecting());
    blnStartWar = false;
    AddStatusLog(measured ? u"[t] 計測終了"_s : u"[t] カウント終了"_s);
}
