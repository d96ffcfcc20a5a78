#pragma once

#include "ircMessage.h"

#include <QStringList>

// The account login by SASL inside the capability negotiation: PLAIN with the account's
// password, or EXTERNAL with the client certificate the TLS connection has shown.
class SaslLogin
{
public:
    enum class Mechanism { None, Plain, External };
    // What a server line brought: lines to send, what the status log says, and whether the
    // exchange is over, logged in or refused (then the connection ends).
    struct Step
    {
        QStringList lines;
        QString status;
        bool finished = false;
        bool refused = false;
    };

    SaslLogin() = default;
    SaslLogin(Mechanism mechanism, const QString &account, const QString &password);

    bool isWanted() const { return m_mechanism != Mechanism::None; }
    QString mechanismName() const;
    // Whether a server's "sasl" capability takes our mechanism: its value lists them (302),
    // or is empty when the server leaves them to be tried.
    bool isOfferedBy(const QString &value) const;
    // The exchange's first line, once the server has granted the capability.
    QString firstLine() const { return QStringLiteral("AUTHENTICATE ") + mechanismName(); }
    Step answer(const IrcMessage &message);

    // An encoded payload in the pieces AUTHENTICATE carries: 400 bytes each, and a "+" after a
    // last piece of exactly 400, or for nothing at all.
    static QStringList pieces(const QByteArray &payload);

private:
    QString refusal(const IrcMessage &message) const;

    Mechanism m_mechanism = Mechanism::None;
    QString m_account;
    QString m_password;
    // What the server said it can do (908), for a refusal of ours.
    QString m_serverMechanisms;
    bool m_payloadSent = false;
};
