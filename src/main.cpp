#include "app/frmMain.h"
#include "app/qtTranslation.h"
#include "platform/eventLoop.h"
#include "platform/windowHelpers.h"
#include "platform/windowingPlatform.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    platform::useFairEventLoop();
    platform::preferX11WhereAvailable();
    QApplication app(argc, argv);
    installQtTranslation(app);
    // Lets a taskbar match the windows to the installed desktop entry; the application icon
    // also marks the message boxes.
    QGuiApplication::setDesktopFileName(platform::desktopId());
    QApplication::setWindowIcon(platform::programIcon());
    frmMain window;
    window.show();
    return app.exec();
}
