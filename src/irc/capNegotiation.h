#pragma once

#include "ircMessage.h"
#include "saslLogin.h"

#include <QStringList>

// IRCv3 capability negotiation at the login, with the account's login by SASL where one is
// given. The login asks for the list and never waits for it, so a server that knows no CAP
// logs in as if nothing had been asked; one that does holds the login until CAP END. Later, a
// capability the server withdraws (CAP DEL) is given up, and one it newly offers (CAP NEW) is
// asked for.
class CapNegotiation
{
public:
    // What a server line calls for: lines to send, what the status log says, and whether the
    // account was refused (then the connection is to end, and no reconnection may try again).
    struct Answer
    {
        QStringList lines;
        QStringList status;
        bool accountRefused = false;
    };

    // What the login sends first.
    static QString listRequest() { return QStringLiteral("CAP LS 302"); }

    // sasl: the account to log in with, if any.
    explicit CapNegotiation(const SaslLogin &sasl = {})
        : m_sasl(sasl)
    {
    }

    Answer answer(const IrcMessage &message);
    bool isEnabled(QStringView capability) const { return m_enabled.contains(capability); }
    // The server is a bouncer, which offers capabilities under its own vendor's name.
    bool isBouncer() const;

private:
    Answer answerList();
    // CAP END, unless the negotiation has ended already.
    void end(Answer &answer);
    void dropAccount(Answer &answer, const QString &why);

    QStringList m_offered;
    QString m_saslValue;
    QStringList m_enabled;
    SaslLogin m_sasl;
    bool m_listed = false;
    bool m_authenticating = false;
    bool m_ended = false;
};
