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
    // A server that knows no CAP has welcomed us without it.
    if (message.isNumeric(u"001")) {
        if (!m_listed && m_sasl.isWanted())
            dropAccount(answer, u"サーバがアカウントのログイン（SASL）に対応していないため"_s);
        m_ended = true;
    }
    if (message.command == u"CAP")
        answerCap(message, answer);
    else if (m_authenticating)
        answerSasl(message, answer);
    return answer;
}

CapNegotiation::Answer CapNegotiation::giveUp()
{
    Answer answer;
    if (m_ended)
        return answer;
    if (m_authenticating)
        answer.lines << u"AUTHENTICATE *"_s;
    m_authenticating = false;
    const QString late = u"サーバが%1秒以内に応答しないため"_s.arg(answerSeconds);
    if (m_sasl.isWanted())
        dropAccount(answer, late);
    else
        answer.status << u"[-] "_s + late
                + u"、機能の問い合わせ（CAP）を打ち切ってログインします"_s;
    m_unanswered = 0;
    end(answer);
    return answer;
}

void CapNegotiation::answerCap(const IrcMessage &message, Answer &answer)
{
    const QString subcommand = message.parameters.value(1);
    const QStringList names = namesIn(message.trailing);
    if (subcommand == u"LS" && !m_listed) {
        for (const QString &entry : message.trailing.split(u' ', Qt::SkipEmptyParts)) {
            m_offered << nameOf(entry);
            if (nameOf(entry) == u"sasl")
                m_saslValue = entry.section(u'=', 1);
        }
        // A list of many lines marks every line but the last with "*".
        if (message.parameters.value(2) != u"*")
            answerList(answer);
    } else if (subcommand == u"ACK") {
        m_unanswered = std::max(0, m_unanswered - 1);
        for (const QString &name : names) {
            if (!m_enabled.contains(name))
                m_enabled << name;
        }
        if (names.contains(u"sasl") && m_sasl.isWanted() && !m_authenticating && !m_ended) {
            m_authenticating = true;
            answer.lines << m_sasl.firstLine();
        }
        endWhenSettled(answer);
    } else if (subcommand == u"NAK") {
        m_unanswered = std::max(0, m_unanswered - 1);
        // A request is granted or refused whole: of a refused set, each capability still
        // wanted is asked for alone.
        if (names.size() > 1) {
            QStringList refused = names;
            refused.removeDuplicates();
            for (const QString &name : std::as_const(refused)) {
                if (isWanted(name) && !m_enabled.contains(name))
                    request({name}, answer);
            }
        } else if (names.contains(u"sasl") && m_sasl.isWanted() && !m_authenticating) {
            dropAccount(answer, u"サーバがアカウントのログインを受け付けなかったため"_s);
        }
        endWhenSettled(answer);
    } else if (subcommand == u"DEL") {
        for (const QString &name : names) {
            m_offered.removeAll(name);
            m_enabled.removeAll(name);
        }
    } else if (subcommand == u"NEW" && m_ended) {
        QStringList wantedNow;
        for (const QString &name : names) {
            m_offered << name;
            if (wanted.contains(name) && !m_enabled.contains(name))
                wantedNow << name;
        }
        if (!wantedNow.isEmpty())
            request(wantedNow, answer);
    }
}

void CapNegotiation::answerSasl(const IrcMessage &message, Answer &answer)
{
    const SaslLogin::Step step = m_sasl.answer(message);
    answer.lines << step.lines;
    if (!step.status.isEmpty())
        answer.status << step.status;
    if (!step.finished)
        return;
    m_authenticating = false;
    if (step.refused && m_refusal == Refusal::EndsLogin) {
        answer.accountRefused = true;
        m_ended = true;
        return;
    }
    if (step.refused)
        dropAccount(answer, u"再接続を続けるため"_s);
    // One exchange per connection, whatever the server sends after it.
    m_sasl = SaslLogin();
    endWhenSettled(answer);
}

bool CapNegotiation::isWanted(const QString &capability) const
{
    return wanted.contains(capability) || (capability == u"sasl" && m_sasl.isWanted());
}

void CapNegotiation::request(const QStringList &capabilities, Answer &answer)
{
    answer.lines << u"CAP REQ :"_s + capabilities.join(u' ');
    ++m_unanswered;
}

void CapNegotiation::endWhenSettled(Answer &answer)
{
    if (m_unanswered == 0 && !m_authenticating)
        end(answer);
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

void CapNegotiation::answerList(Answer &answer)
{
    m_listed = true;
    QStringList wantedNow;
    for (const QString &capability : wanted) {
        if (m_offered.contains(capability))
            wantedNow << capability;
    }
    if (m_sasl.isWanted()) {
        if (m_offered.contains(u"sasl") && m_sasl.isOfferedBy(m_saslValue))
            wantedNow << u"sasl"_s;
        else
            dropAccount(answer,
                        u"サーバがアカウントのログイン（SASL "_s + m_sasl.mechanismName()
                            + u"）に対応していないため"_s);
    }
    if (wantedNow.isEmpty())
        end(answer);
    else
        request(wantedNow, answer);
}

void CapNegotiation::dropAccount(Answer &answer, const QString &why)
{
    answer.status << u"[-] "_s + why + u"、アカウントを使わずにログインします"_s;
    m_sasl = SaslLogin();
}
