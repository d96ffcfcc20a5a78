#include "windowingPlatform.h"

#include <QByteArray>

namespace platform {

void preferX11WhereAvailable()
{
    // Windows has one windowing system (and Wine passes its host's DISPLAY through).
#ifndef Q_OS_WIN
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || qEnvironmentVariableIsEmpty("DISPLAY"))
        return;
    // Native Wayland stays the fallback for a DISPLAY that names no reachable X server.
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("xcb;wayland"));
#endif
}

} // namespace platform
