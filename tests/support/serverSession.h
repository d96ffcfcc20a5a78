#pragma once

#include "app/frmMain.h"
#include "irc/channelPacer.h"
#include "irc/ircSession.h"
#include "loopbackServer.h"

#include <QList>
#include <QStringList>
#include <memory>

// An IRC session talking to a loopback server as a user's would: connected and registered as
// "Timer" in the channel, and logged in on request. The session and its pacer are a main
// window's own, or, for what they do alone, bare ones.
class ServerSession
{
public:
    enum class Window { With, Without };
    static const QByteArray greeting;
    static const QByteArray endOfMotd;

    explicit ServerSession(Window window = Window::With,
                           const QString &channel = QStringLiteral("#chan"));

    IrcSession &session() const;
    ChannelPacer &pacer() const;
    // Connected, with the nickname and user lines received; with an account, to log in by SASL.
    bool connect(const QString &account = {}, const QString &password = {});
    bool logIn();

    // The lines the program sent since the last mark.
    void markSent();
    QList<QByteArray> sentSinceMark();
    // Waits until that many lines have arrived since the mark.
    bool waitForSent(qsizetype count);
    // Waits until the session has handled the block (it has been read).
    bool sendHandled(const QByteArray &block);
    // The lines the program sent since the mark in answer to the block: a check that nothing
    // was sent can then not pass before the block was handled or the answer arrived.
    QList<QByteArray> answerTo(const QByteArray &block);
    // The same for bytes that arrive in several reads, each handled before the next is sent.
    QList<QByteArray> answerTo(const QList<QByteArray> &reads);

    std::unique_ptr<frmMain> form;
    std::unique_ptr<IrcSession> bareSession;
    std::unique_ptr<ChannelPacer> barePacer;
    std::unique_ptr<LoopbackServer> server;
    // Set before connect().
    WireEncoding encoding = WireEncoding::Cp932;
    // Every status line the session and its pacer reported, in order.
    QStringList statusLines;

private:
    QList<QByteArray> answerSinceMark();

    QString m_channel;
    // What the session has read, and in how many reads.
    QString m_read;
    int m_reads = 0;
    qsizetype m_mark = 0;
};
