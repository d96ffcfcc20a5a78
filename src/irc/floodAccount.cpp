#include "floodAccount.h"

#include <algorithm>

namespace {

// ngIRCd handles three lines of what it has read in one pass; lines it reads within this
// span of each other share a pass.
constexpr qint64 ngircdLinesPerPass = 3;
constexpr qint64 readTogetherMs = 100;
// A server reads a line up to this length, CR LF included, and drops the rest of it.
constexpr qsizetype serverLineBytes = 512;

// The targets of a PRIVMSG or NOTICE, each of which the server counts.
qint64 targetsOf(const IrcMessage &message)
{
    return message.parameters.value(0).count(u',') + 1;
}

// The letters of a MODE line's change, "+sn" of "MODE #c +sn"; none for a query.
qint64 modeLettersOf(const IrcMessage &message)
{
    const QString change = message.parameters.value(1);
    return change.size() - change.count(u'+') - change.count(u'-');
}

// ircd-irc2's penalty of its command handlers (ircd/s_user.c, ircd/channel.c), added once
// the client is registered; USER registers it, and so pays its own.
qint64 irc2HandlerPenalty(const IrcMessage &message)
{
    const QString &command = message.command;
    if (message.isTextMessage())
        return targetsOf(message);
    if (command == u"NAMES")
        return 4;
    if (command == u"JOIN")
        return 2;
    // Each letter of a change costs 3, whether or not we may make it.
    if (command == u"MODE")
        return std::max<qint64>(1, 3 * modeLettersOf(message));
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

FloodAccount::Line FloodAccount::lineOf(const QString &line, qsizetype wireBytes, qint64 dueMs)
{
    return {IrcMessage::parse(line), std::min(wireBytes, serverLineBytes), dueMs};
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

void FloodAccount::assumeFull(qint64 atMs)
{
    m_accountMs = std::max(m_accountMs, atMs + aheadTakenMs() - 1);
}

qint64 FloodAccount::costMs(const Line &line) const
{
    const IrcMessage &message = line.message;
    const QString &command = message.command;
    switch (m_family) {
    case Family::Unnamed:
        return 0;
    case Family::Irc2: {
        // Unknown commands (CAP) are refused before the account is touched.
        if (command == u"CAP")
            return 0;
        const bool registered = m_registered || command == u"USER";
        const qint64 seconds
            = 1 + line.bytes / 100 + (registered ? irc2HandlerPenalty(message) : 0);
        return seconds * 1000;
    }
    case Family::Ngircd:
        // Measured: the login holds the client as if each of its lines had cost a second.
        if (!m_registered)
            return 1000;
        if (message.isTextMessage())
            return (targetsOf(message) - 1) * 1000;
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

qint64 FloodAccount::aheadMs(qint64 nowMs) const
{
    return std::max<qint64>(0, std::max(m_accountMs, m_lastRelayMs) - nowMs);
}

bool FloodAccount::isCaughtUp(qint64 sentMs) const
{
    return m_accountMs <= sentMs && m_lastRelayMs <= sentMs
        && (m_family != Family::Ngircd || sentMs - m_passStartMs >= readTogetherMs);
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
    // The schedule alone from an empty account: where it is caught up at a line, any start
    // whose account has caught up there too goes on exactly as this one does.
    FloodAccount empty(m_family);
    empty.m_registered = m_registered;
    QList<bool> caughtUp(lines.size());
    QList<qint64> worstFrom(lines.size() + 1, 0);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        caughtUp[i] = empty.isCaughtUp(lines[i].dueMs);
        worstFrom[i] = empty.book(lines[i], lines[i].dueMs) - lines[i].dueMs;
    }
    for (qsizetype i = lines.size() - 1; i >= 0; --i)
        worstFrom[i] = std::max(worstFrom[i], worstFrom[i + 1]);
    const auto worstAfter = [&](qint64 startMs) {
        FloodAccount account = *this;
        qint64 worst = 0;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const qint64 sentMs = startMs + lines[i].dueMs;
            if (caughtUp[i] && account.isCaughtUp(sentMs))
                return std::max(worst, worstFrom[i]);
            worst = std::max(worst, account.book(lines[i], sentMs) - sentMs);
        }
        return worst;
    };
    // Waiting only helps until the account has drained; the least wait that does as well as
    // waiting that long is found by halving, which a later start never makes worse.
    qint64 earliest = nowMs;
    qint64 latest = nowMs + aheadMs(nowMs) + readTogetherMs;
    const qint64 best = std::max<qint64>(0, worstAfter(latest));
    if (worstAfter(earliest) <= best)
        latest = earliest;
    while (earliest < latest) {
        const qint64 middle = earliest + (latest - earliest) / 2;
        if (worstAfter(middle) <= best)
            latest = middle;
        else
            earliest = middle + 1;
    }
    return {latest - nowMs, latenessOf(lines, latest)};
}

bool FloodAccount::delaysNothing(const Line &line, qint64 sentMs, const QList<Line> &schedule) const
{
    FloodAccount without = *this;
    FloodAccount with = *this;
    bool booked = false;
    for (const Line &due : schedule) {
        if (!booked && due.dueMs > sentMs) {
            with.book(line, sentMs);
            booked = true;
        }
        // Both accounts have drained: the line weighs on nothing after this.
        if (booked && with.isCaughtUp(due.dueMs) && without.isCaughtUp(due.dueMs))
            return true;
        const qint64 lateness = with.book(due, due.dueMs) - due.dueMs;
        if (lateness > std::max<qint64>(0, without.book(due, due.dueMs) - due.dueMs))
            return false;
    }
    return true;
}
