#include "saslLogin.h"

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype pieceBytes = 400;

} // namespace

SaslLogin::SaslLogin(Mechanism mechanism, const QString &account, const QString &password)
    : m_mechanism(mechanism)
    , m_account(account)
    , m_password(password)
{
}

QString SaslLogin::mechanismName() const
{
    return m_mechanism == Mechanism::External ? u"EXTERNAL"_s : u"PLAIN"_s;
}

bool SaslLogin::isOfferedBy(const QString &value) const
{
    return value.isEmpty() || value.split(u',').contains(mechanismName(), Qt::CaseInsensitive);
}

QStringList SaslLogin::pieces(const QByteArray &payload)
{
    const QByteArray encoded = payload.toBase64();
    QStringList pieces;
    for (qsizetype at = 0; at < encoded.size(); at += pieceBytes)
        pieces << QString::fromLatin1(encoded.mid(at, pieceBytes));
    if (encoded.size() % pieceBytes == 0)
        pieces << u"+"_s;
    return pieces;
}

SaslLogin::Step SaslLogin::answer(const IrcMessage &message)
{
    Step step;
    if (message.isFromUser())
        return step;
    if (message.command == u"AUTHENTICATE") {
        // Neither mechanism has a challenge: anything but the empty one ends the exchange.
        // InspIRCd sends it as a trailing parameter.
        const QString challenge
            = message.parameters.isEmpty() ? message.trailing : message.parameters.constFirst();
        if (m_payloadSent || challenge != u"+") {
            step.lines << u"AUTHENTICATE *"_s;
            return step;
        }
        m_payloadSent = true;
        // The server takes the account from the certificate; PLAIN's identity is the account.
        const QByteArray payload = m_mechanism == Mechanism::External
            ? QByteArray()
            : '\0' + m_account.toUtf8() + '\0' + m_password.toUtf8();
        for (const QString &piece : pieces(payload))
            step.lines << u"AUTHENTICATE "_s + piece;
        return step;
    }
    if (message.isNumeric(u"900")) {
        step.status = u"[+] アカウント"_s + message.parameters.value(2) + u"でログインしました"_s;
    } else if (message.isNumeric(u"903") || message.isNumeric(u"907")) {
        step.finished = true;
    } else if (message.isNumeric(u"908")) {
        m_serverMechanisms = message.parameters.value(1);
    } else if (message.isNumeric(u"902") || message.isNumeric(u"904") || message.isNumeric(u"905")
               || message.isNumeric(u"906")) {
        step.status = refusal(message);
        step.finished = true;
        step.refused = true;
    }
    return step;
}

QString SaslLogin::refusal(const IrcMessage &message) const
{
    const QString refused = u"[x] アカウントのログインが拒まれました: "_s;
    if (message.isNumeric(u"902"))
        return refused + u"アカウントがサービスによってロックまたは保留されています"_s;
    if (message.isNumeric(u"905"))
        return refused + u"アカウント名かパスワードが長すぎます"_s;
    if (message.isNumeric(u"906"))
        return u"[x] アカウントのログインが中断されました"_s;
    if (!m_serverMechanisms.isEmpty() && !isOfferedBy(m_serverMechanisms))
        return refused + u"サーバは"_s + mechanismName() + u"に対応していません（対応: "_s
            + m_serverMechanisms + u"）"_s;
    if (m_mechanism == Mechanism::External)
        return refused + u"この証明書はアカウントに登録されていません"_s;
    return refused + u"アカウント名かパスワードが違います"_s;
}
