#pragma once

#include "app/frmConnect.h"
#include "app/frmMain.h"
#include "formHelpers.h"
#include "irc/ircSession.h"
#include "ircObserver.h"
#include "ircServer.h"
#include "messageBoxResponder.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

// Fills in the connect dialog as a user would and presses 接続. The test server listens on a
// port of its own, typed into the port box.
inline void connectThroughDialog(frmMain &form, const QString &port, const QString &nick,
                                 const QString &channel, const QString &password = {})
{
    frmConnect &dialog = form.connectDialog();
    connectControls(dialog).cboServer->setEditText(QStringLiteral("127.0.0.1"));
    connectControls(dialog).cboPort->setEditText(port);
    connectControls(dialog).txtNick->setText(nick);
    connectControls(dialog).cboChannel->setEditText(channel);
    if (!password.isEmpty())
        connectControls(dialog).txtPassword->setText(password);
    dialog.cmdConnect_Click();
}

// A real server, a second client watching the channel, and the program logged in to the
// channel through its connect dialog, with every message box answered; or logged in to a
// bouncer in front of the server.
struct ChannelSession
{
    explicit ChannelSession(IrcServer::Family family = IrcServer::Family::Irc2,
                            int pingSeconds = 90, bool throughBouncer = false)
        : server(pingSeconds, 0, family)
        , throughBouncer(throughBouncer)
    {
    }

    IrcServer server;
    bool throughBouncer;
    IrcObserver observer;
    MessageBoxResponder boxes;
    frmMain form;

    // Empty on success, else what went wrong.
    QString start(const QString &channel)
    {
        if (throughBouncer)
            server.setBouncer(channel.toLatin1());
        if (!server.start())
            return server.failure();
        if (!observer.logIn(server.port(), "Observer") || !observer.join(channel.toLatin1()))
            return QStringLiteral("the observer could not join");
        // The bouncer joins before or after the observer: its nick shows either way.
        if (throughBouncer && !observer.waitForLine("Timer"))
            return QStringLiteral("the bouncer did not join the channel");
        form.show();
        connectThroughDialog(
            form, throughBouncer ? QString::number(server.bouncerPort()) : server.portText(),
            QStringLiteral("Timer"), channel,
            throughBouncer ? IrcServer::bouncerPassword() : QString());
        if (!QTest::qWaitFor([this] { return form.session().loggedIn(); }, 15000))
            return QStringLiteral("the program did not log in");
        return {};
    }
};
