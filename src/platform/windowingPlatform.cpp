#include "windowingPlatform.h"

#include <QByteArray>

namespace platform {

void preferX11WhereAvailable()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || qEnvironmentVariableIsEmpty("DISPLAY"))
        return;
    // Native Wayland stays the fallback for a DISPLAY that names no reachable X server.
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("xcb;wayland"));
}

} // namespace platform
