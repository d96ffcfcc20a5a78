#include "app/frmMain.h"
#include "platform/eventLoop.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    platform::useFairEventLoop();
    QApplication app(argc, argv);
    frmMain window;
    window.show();
    return app.exec();
}
