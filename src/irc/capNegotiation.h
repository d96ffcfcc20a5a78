#pragma once

#include "ircMessage.h"
#include "saslLogin.h"

#include <QStringList>

// IRCv3 capability negotiation at the login, with the account's login by SASL where one is
// given. The login asks for the list and never waits for it, so a server that knows no CAP
// logs in as if nothing had been asked; one that does holds the login until CAP END. A refused
// request of several capabilities is asked for again one by one. A server that stops answering
// is given up on (giveUp()), and the login goes on without the account. Later, a capability
// the server withdraws (CAP DEL) is given up, and one it newly offers (CAP NEW) is asked for.
class CapNegotiation
{
public:
    // What a refused account means for the login: at a connect the user made, the end of it
    // (the user is there to correct the password); at a reconnection, a login without it, since
    // the services may only be down for a while.
    enum class Refusal { EndsLogin, LoginWithoutAccount };
    // What a server line calls for: lines to send, what the status log says, and whether the
    // account was refused so that the connection is to end (no reconnection may try again).
    struct Answer
    {
        QStringList lines;
        QStringList status;
        bool accountRefused = false;
    };

    // How long the server may take over each of its answers before the negotiation is given up.
    static constexpr int answerSeconds = 20;

    // What the login sends first.
    static QString listRequest() { return QStringLiteral("CAP LS 302"); }

    // sasl: the account to log in with, if any.
    explicit CapNegotiation(const SaslLogin &sasl = {}, Refusal refusal = Refusal::EndsLogin)
        : m_sasl(sasl)
        , m_refusal(refusal)
    {
    }

    Answer answer(const IrcMessage &message);
    // The server has not answered in time: the SASL exchange is aborted and the negotiation
    // ended, and the login goes on without the account.
    Answer giveUp();
    // The server owes an answer before the login can go on.
    bool isWaiting() const { return !m_ended; }
    bool isEnabled(QStringView capability) const { return m_enabled.contains(capability); }
    // The server is a bouncer, which offers capabilities under its own vendor's name.
    bool isBouncer() const;

private:
    void answerList(Answer &answer);
    void answerCap(const IrcMessage &message, Answer &answer);
    void answerSasl(const IrcMessage &message, Answer &answer);
    bool isWanted(const QString &capability) const;
    void request(const QStringList &capabilities, Answer &answer);
    // CAP END once nothing the login waits for is outstanding.
    void endWhenSettled(Answer &answer);
    // CAP END, unless the negotiation has ended already.
    void end(Answer &answer);
    void dropAccount(Answer &answer, const QString &why);

    QStringList m_offered;
    QString m_saslValue;
    QStringList m_enabled;
    SaslLogin m_sasl;
    Refusal m_refusal;
    // CAP REQ lines the server has not answered yet.
    int m_unanswered = 0;
    bool m_listed = false;
    bool m_authenticating = false;
    bool m_ended = false;
};
