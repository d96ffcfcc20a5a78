#include "capNegotiation.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Each line's arrival in the channel, stamped by the server where it can.
const QStringList wanted {u"echo-message"_s, u"server-time"_s};

QString nameOf(const QString &entry)
{
    const QString name = entry.section(u'=', 0, 0);
    return name.startsWith(u'-') || name.startsWith(u'~') ? name.mid(1) : name;
}

// The names in a capability list, without 302's values ("sasl=PLAIN") or ACK's modifiers.
QStringList namesIn(const QString &list)
{
    QStringList names;
    for (const QString &entry : list.split(u' ', Qt::SkipEmptyParts))
        names << nameOf(entry);
    return names;
}

} // namespace

CapNegotiation::Answer CapNegotiation::answer(const IrcMessage &message)
{
    Answer answer;
    if (m_authenticating) {
        const SaslLogin::Step step = m_sasl.answer(message);
        answer.lines = step.lines;
        if (!step.status.isEmpty())
            answer.status << step.status;
        if (step.finished) {
            m_authenticating = false;
            answer.accountRefused = step.refused;
            if (!step.refused)
                end(answer);
        }
        return answer;
    }
    // A server that knows no CAP has welcomed us without it.
    if (message.isNumeric(u"001")) {
        if (!m_listed && m_sasl.isWanted())
            dropAccount(answer, u"サーバがアカウントのログイン（SASL）に対応していないため"_s);
        m_ended = true;
    }
    if (message.command != u"CAP")
        return answer;
    const QString subcommand = message.parameters.value(1);
    if (subcommand == u"LS") {
        for (const QString &entry : message.trailing.split(u' ', Qt::SkipEmptyParts)) {
            m_offered << nameOf(entry);
            if (nameOf(entry) == u"sasl")
                m_saslValue = entry.section(u'=', 1);
        }
        // A list of many lines marks every line but the last with "*".
        if (message.parameters.value(2) == u"*")
            return answer;
        return answerList();
    }
    if (subcommand == u"ACK") {
        const QStringList granted = namesIn(message.trailing);
        m_enabled << granted;
        if (granted.contains(u"sasl") && m_sasl.isWanted()) {
            m_authenticating = true;
            answer.lines << m_sasl.firstLine();
            return answer;
        }
        end(answer);
        return answer;
    }
    if (subcommand == u"NAK") {
        if (namesIn(message.trailing).contains(u"sasl"))
            dropAccount(answer, u"サーバがアカウントのログインを受け付けなかったため"_s);
        end(answer);
    }
    if (subcommand == u"DEL") {
        for (const QString &name : namesIn(message.trailing)) {
            m_offered.removeAll(name);
            m_enabled.removeAll(name);
        }
    }
    if (subcommand == u"NEW" && m_ended) {
        QStringList request;
        for (const QString &name : namesIn(message.trailing)) {
            m_offered << name;
            if (wanted.contains(name) && !m_enabled.contains(name))
                request << name;
        }
        if (!request.isEmpty())
            answer.lines << u"CAP REQ :"_s + request.join(u' ');
    }
    return answer;
}

bool CapNegotiation::isBouncer() const
{
    return std::any_of(m_offered.cbegin(), m_offered.cend(), [](const QString &name) {
        return name.startsWith(u"znc.in/") || name.startsWith(u"soju.im/");
    });
}

void CapNegotiation::end(Answer &answer)
{
    if (m_ended)
        return;
    answer.lines << u"CAP END"_s;
    m_ended = true;
}

CapNegotiation::Answer CapNegotiation::answerList()
{
    Answer answer;
    m_listed = true;
    QStringList request;
    for (const QString &capability : wanted) {
        if (m_offered.contains(capability))
            request << capability;
    }
    if (m_sasl.isWanted()) {
        if (m_offered.contains(u"sasl") && m_sasl.isOfferedBy(m_saslValue))
            request << u"sasl"_s;
        else
            dropAccount(answer,
                        u"サーバがアカウントのログイン（SASL "_s + m_sasl.mechanismName()
                            + u"）に対応していないため"_s);
    }
    if (request.isEmpty())
        end(answer);
    else
        answer.lines << u"CAP REQ :"_s + request.join(u' ');
    return answer;
}

void CapNegotiation::dropAccount(Answer &answer, const QString &why)
{
    answer.status << u"[-] "_s + why + u"、アカウントを使わずにログインします"_s;
    m_sasl = SaslLogin();
}
