#pragma once

#include "ircMessage.h"

#include <QStringList>

// IRCv3 capability negotiation at the login. The login asks for the list and never waits for
// it, so a server that knows no CAP logs in as if nothing had been asked; one that does
// holds the login until CAP END.
class CapNegotiation
{
public:
    // What the login sends first.
    static QString listRequest() { return QStringLiteral("CAP LS 302"); }

    void reset() { *this = CapNegotiation(); }
    // The lines that answer a message of the server (none when it is no CAP reply).
    QStringList answer(const IrcMessage &message);
    bool isEnabled(QStringView capability) const { return m_enabled.contains(capability); }

private:
    QStringList m_offered;
    QStringList m_enabled;
};
