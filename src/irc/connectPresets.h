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
QStringList channels();
QString defaultChannel();
// The nickname box starts with the initial nickname; an emptied box gets the fallback.
QString initialNick();
QString fallbackNick();

} // namespace connectPresets
