#include "basGeneral.h"
#include "frmMain.h"
#include "frmServerLog.h"
#include "logView.h"

#include <QTime>

using namespace Qt::StringLiterals;

namespace basGeneral {

QString logTimeStamp(const QTime &time)
{
    return time.toString(u"HH:mm:ss"_s);
}

void AddStatusLog(const QString &text)
{
    mainForm().txtStatus->appendEntry(u"\r\n"_s + logTimeStamp(QTime::currentTime()) + text);
}

void AddServerLog(const QString &data)
{
    frmServerLog &serverLog = mainForm().serverLog();
    serverLog.Load();
    serverLog.txtRec->appendEntry(u"\r\n"_s + logTimeStamp(QTime::currentTime()) + u"\r\n"_s
                                  + data);
}

} // namespace basGeneral
