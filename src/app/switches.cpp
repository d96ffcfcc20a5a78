#include "basGeneral.h"
#include "frmMain.h"
#include "timer/tickTimer.h"

#include <QAction>

using namespace Qt::StringLiterals;

namespace basGeneral {
namespace {

frmMain *theMainForm = nullptr;

} // namespace

frmMain &mainForm()
{
    Q_ASSERT(theMainForm);
    return *theMainForm;
}

void setMainForm(frmMain *form)
{
    theMainForm = form;
}

void SetMenusOffline()
{
    mainForm().mnuConnect->setEnabled(true);
    mainForm().mnuDisconnect->setEnabled(false);
}

void SetMenusOnline()
{
    mainForm().mnuConnect->setEnabled(false);
    mainForm().mnuDisconnect->setEnabled(true);
}

void StartTickTimer(platform::RunClock::time_point start)
{
    TickTimer *timer = mainForm().tmrCountTime;
    timer->setInterval(1000);
    timer->start(start);
    if (!timer->onSystemTimer())
        AddStatusLog(u"[-] システムのタイマを作れないため、Qtのタイマで計ります"_s);
}

void StopTickTimer()
{
    TickTimer *timer = mainForm().tmrCountTime;
    timer->stop();
    timer->setInterval(0);
}

} // namespace basGeneral
