#pragma once

#include <QString>
#include <QStringList>

// The built-in choices of the connect dialog. The first host is the default.
namespace connectPresets {

QStringList serverHosts();
QString defaultHost();
QStringList ports();
QString defaultPort();
// The port for TLS that IRC networks agree on.
QString defaultTlsPort();
bool isPlainTextPreset(const QString &port);
// The preset port that Up (step -1) or Down (+1) moves to from the port shown: the next in the
// list from a preset, the nearest beyond it from a port of the user's own; -1 where none is.
int adjacentPortIndex(const QString &shown, int step);
QStringList channels();
QString defaultChannel();
// The nickname box starts with the initial nickname; an emptied box gets the fallback.
QString initialNick();
QString fallbackNick();

} // namespace connectPresets
