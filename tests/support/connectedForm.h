#pragma once

#include "app/frmMain.h"
#include "loopbackServer.h"
#include "platform/socketControl.h"

#include <QTest>

#include <memory>

// A main window whose socket is connected to a loopback server, with the bytes sent while
// connecting put aside.
struct ConnectedForm
{
    std::unique_ptr<frmMain> form = std::make_unique<frmMain>();
    LoopbackServer server;

    bool connect()
    {
        form->Ws->Connect(QStringLiteral("127.0.0.1"), server.portText());
        return server.waitForClient()
            && QTest::qWaitFor([this] { return form->Ws->State() == SocketControl::sckConnected; });
    }
};
