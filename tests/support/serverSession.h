#pragma once

#include "app/frmMain.h"
#include "loopbackServer.h"

#include <QList>
#include <memory>

// A main window talking to a loopback server as a user's session would: connected and
// registered as "Timer" in "#chan", and logged in on request.
class ServerSession
{
public:
    static const QByteArray greeting;
    static const QByteArray endOfMotd;

    ServerSession();

    // Connected, with the nickname and user lines received.
    bool connect();
    bool logIn();

    // The lines the program sent since the last mark.
    void markSent();
    QList<QByteArray> sentSinceMark();
    // Waits until that many lines have arrived since the mark.
    bool waitForSent(qsizetype count);
    // Waits until the program has handled the block (it stands in the server log).
    bool sendHandled(const QByteArray &block);
    // The lines the program sent since the mark in answer to the block: a check that nothing
    // was sent can then not pass before the block was handled or the answer arrived.
    QList<QByteArray> answerTo(const QByteArray &block);
    // The same for bytes that arrive in several reads, each handled before the next is sent.
    QList<QByteArray> answerTo(const QList<QByteArray> &reads);

    std::unique_ptr<frmMain> form;
    std::unique_ptr<LoopbackServer> server;

private:
    QList<QByteArray> answerSinceMark();

    qsizetype m_mark = 0;
};
