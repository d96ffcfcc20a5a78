#pragma once

#include <QString>
#include <QStringList>

// The built-in choices of the connect dialog. The first host is the default.
namespace connectPresets {

QStringList serverHosts();
QString defaultHost();
QStringList ports();
QString defaultPort();
QStringList channels();
QString defaultChannel();
// The nickname box starts with the initial nickname; an emptied box gets the fallback.
QString initialNick();
QString fallbackNick();

} // namespace connectPresets
