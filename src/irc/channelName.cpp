#include "channelName.h"

QString normaliseChannel(const QString &typed)
{
    QString name = typed;
    name.remove(QLatin1Char('#'));
    return QLatin1Char('#') + name;
}
