#include "logTimeStamp.h"

#include <QTime>

using namespace Qt::StringLiterals;

QString logTimeStamp(const QTime &time)
{
    return time.toString(u"HH:mm:ss"_s);
}
