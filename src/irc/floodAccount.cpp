#include "floodAccount.h"

#include <algorithm>

namespace {

// How finely the wait at the start is chosen.
constexpr qint64 planStepMs = 100;
// ngIRCd handles three lines of what it has read in one pass; lines it reads within this
// span of each other share a pass.
constexpr qint64 ngircdLinesPerPass = 3;
constexpr qint64 readTogetherMs = 100;

QStringView commandOf(QStringView line)
{
    return line.left(line.indexOf(u' '));
}

// The targets of a PRIVMSG or NOTICE, each of which the server counts.
qint64 targetsOf(QStringView line)
{
    const QStringView rest = line.mid(line.indexOf(u' ') + 1);
    return rest.left(rest.indexOf(u' ')).count(u',') + 1;
}

bool isMessage(QStringView command)
{
    return command == u"PRIVMSG" || command == u"NOTICE";
}

// The letters of a MODE line's change, "+sn" of "MODE #c +sn"; none for a query.
qint64 modeLettersOf(QStringView line)
{
    const QStringList words = line.toString().split(u' ');
    const QString change = words.value(2);
    return change.size() - change.count(u'+') - change.count(u'-');
}

// ircd-irc2's penalty of its command handlers (ircd/s_user.c, ircd/channel.c), added once
// the client is registered; USER registers it, and so pays its own.
qint64 irc2HandlerPenalty(QStringView line)
{
    const QStringView command = commandOf(line);
    if (isMessage(command))
        return targetsOf(line);
    if (command == u"NAMES")
        return 4;
    if (command == u"JOIN")
        return 2;
    // Each letter of a change costs 3, whether or not we may make it.
    if (command == u"MODE")
        return std::max<qint64>(1, 3 * modeLettersOf(line));
    if (command == u"USER")
        return 1;
    if (command == u"PING" || command == u"PONG")
        return 1;
    return 0;
}

} // namespace

FloodAccount::Family FloodAccount::familyOf(QStringView version)
{
    if (version.startsWith(u"2.1"))
        return Family::Irc2;
    if (version.startsWith(u"ngircd", Qt::CaseInsensitive))
        return Family::Ngircd;
    if (version.startsWith(u"InspIRCd", Qt::CaseInsensitive))
        return Family::Inspircd;
    if (version.startsWith(u"hybrid", Qt::CaseInsensitive)
        || version.startsWith(u"ircd-hybrid", Qt::CaseInsensitive)
        || version.startsWith(u"solanum", Qt::CaseInsensitive)
        || version.startsWith(u"charybdis", Qt::CaseInsensitive))
        return Family::Hybrid;
    if (version.startsWith(u"UnrealIRCd", Qt::CaseInsensitive))
        return Family::Unreal;
    return Family::Unknown;
}

qint64 FloodAccount::Plan::worstLatenessMs() const
{
    return latenessMs.isEmpty() ? 0 : *std::max_element(latenessMs.cbegin(), latenessMs.cend());
}

void FloodAccount::setFamily(Family family, qint64 readMs)
{
    if (m_family != Family::Unnamed) {
        m_family = family;
        return;
    }
    // What was booked unnamed came before the welcome: irc2 added no command's penalty.
    const QList<std::pair<Line, qint64>> booked = m_unnamedLines;
    const bool registered = m_registered;
    *this = FloodAccount(family);
    for (const auto &[line, sentMs] : booked)
        book(line, std::max(sentMs, readMs));
    m_registered = registered;
}

qint64 FloodAccount::costMs(const Line &line) const
{
    const QStringView command = commandOf(line.text);
    switch (m_family) {
    case Family::Unnamed:
        return 0;
    case Family::Irc2: {
        // Unknown commands (CAP) are refused before the account is touched.
        if (command == u"CAP")
            return 0;
        const bool registered = m_registered || command == u"USER";
        const qint64 seconds
            = 1 + line.bytes / 100 + (registered ? irc2HandlerPenalty(line.text) : 0);
        return seconds * 1000;
    }
    case Family::Ngircd:
        // Measured: the login holds the client as if each of its lines had cost a second.
        if (!m_registered)
            return 1000;
        if (isMessage(command))
            return (targetsOf(line.text) - 1) * 1000;
        return command == u"MODE" || command == u"NAMES" ? 1000 : 0;
    case Family::Inspircd:
        return 1000;
    case Family::Hybrid:
        return 500;
    case Family::Unreal:
        return (1 + line.bytes / 90) * 1000;
    case Family::Unknown:
        break;
    }
    return 2000;
}

// A line is taken while the account is less than this far ahead of the clock. irc2, RFC 1459,
// InspIRCd and UnrealIRCd allow 10 s; ngIRCd none at all; Hybrid and Solanum a burst of five.
// The second of margin is for the server's clock.
qint64 FloodAccount::aheadTakenMs() const
{
    switch (m_family) {
    case Family::Ngircd:
        return 1;
    case Family::Hybrid:
        return 2500;
    default:
        return 9000;
    }
}

qint64 FloodAccount::book(const Line &line, qint64 sentMs)
{
    if (m_family == Family::Unnamed)
        m_unnamedLines.append({line, sentMs});
    m_accountMs = std::max(m_accountMs, sentMs);
    qint64 relayMs = std::max(sentMs, m_lastRelayMs);
    if (m_accountMs - relayMs >= aheadTakenMs())
        relayMs = m_accountMs - aheadTakenMs() + 1;
    if (m_family == Family::Ngircd && m_registered) {
        if (relayMs - m_passStartMs >= readTogetherMs) {
            m_passStartMs = relayMs;
            m_passLines = 0;
        }
        // A line left over from a full pass costs the client a second's penalty before it.
        if (++m_passLines > ngircdLinesPerPass) {
            relayMs = m_accountMs = std::max(m_accountMs, relayMs) + 1000;
            m_passStartMs = relayMs;
            m_passLines = 1;
        }
    }
    m_accountMs = std::max(m_accountMs, relayMs) + costMs(line);
    m_lastRelayMs = relayMs;
    return relayMs;
}

qint64 FloodAccount::relayTime(const Line &line, qint64 sentMs) const
{
    FloodAccount account = *this;
    return account.book(line, sentMs);
}

QList<qint64> FloodAccount::latenessOf(const QList<Line> &lines, qint64 startMs) const
{
    FloodAccount account = *this;
    QList<qint64> lateness;
    for (const Line &line : lines) {
        const qint64 dueMs = startMs + line.dueMs;
        lateness << account.book(line, dueMs) - dueMs;
    }
    return lateness;
}

FloodAccount::Plan FloodAccount::plan(const QList<Line> &lines, qint64 nowMs) const
{
    // Once the account has drained to the clock, waiting longer changes nothing.
    const qint64 drainedMs = std::max<qint64>(0, std::max(m_accountMs, m_lastRelayMs) - nowMs);
    Plan best;
    best.latenessMs = latenessOf(lines, nowMs);
    for (qint64 waitMs = planStepMs; best.worstLatenessMs() > 0 && waitMs <= drainedMs + planStepMs;
         waitMs += planStepMs) {
        Plan candidate {waitMs, latenessOf(lines, nowMs + waitMs)};
        if (candidate.worstLatenessMs() < best.worstLatenessMs())
            best = candidate;
    }
    return best;
}

bool FloodAccount::delaysNothing(const Line &line, qint64 sentMs, const QList<Line> &schedule) const
{
    const QList<qint64> without = latenessOf(schedule, 0);
    FloodAccount account = *this;
    bool booked = false;
    for (qsizetype i = 0; i < schedule.size(); ++i) {
        if (!booked && schedule[i].dueMs > sentMs) {
            account.book(line, sentMs);
            booked = true;
        }
        const qint64 lateness = account.book(schedule[i], schedule[i].dueMs) - schedule[i].dueMs;
        if (lateness > std::max<qint64>(0, without[i]))
            return false;
    }
    return true;
}
