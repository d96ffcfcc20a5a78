#include "eventLoop.h"

#include <QByteArray>

namespace platform {

void useFairEventLoop()
{
    qputenv("QT_NO_GLIB", QByteArrayLiteral("1"));
}

} // namespace platform
