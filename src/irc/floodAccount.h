#pragma once

#include "ircMessage.h"

#include <QList>

// The server's account of our lines under its flood control. Every line a client sends adds
// to its account by the rule of the server's family; the account never falls below the
// server's clock, and the server takes the client's next line only while the account is not too
// far ahead of that clock. A held line holds every line after it. Times are milliseconds on
// our own clock; the server's clock may stand up to a second apart from it (whole seconds,
// another machine), and irc2's, InspIRCd's and UnrealIRCd's predictions lean a second to the
// late side for it.
class FloodAccount
{
public:
    // Unnamed: the server has not said what it runs (no 004 yet), and nothing is known to be
    // held. Unknown: it has, and RFC 1459's rule, which irc2 implements, is the one to expect.
    enum class Family { Unnamed, Unknown, Irc2, Ngircd, Inspircd, Hybrid, Unreal };

    // The family named by a server's version, the second parameter of its 004.
    static Family familyOf(QStringView version);

    // A line as the server reads it: the IRC line, and its length on the wire with CR LF, of
    // which a server reads no more than a line's 512 bytes.
    struct Line
    {
        IrcMessage message;
        qsizetype bytes = 0;
        qint64 dueMs = 0;
    };
    static Line lineOf(const QString &line, qsizetype wireBytes, qint64 dueMs = 0);

    // When to start a schedule of lines: the least wait after which all reach the channel on
    // time, or, where no wait does, the wait after which the latest is least late.
    struct Plan
    {
        qint64 waitMs = 0;
        QList<qint64> latenessMs; // for each line, after the wait
        qint64 worstLatenessMs() const;
    };

    explicit FloodAccount(Family family = Family::Unnamed)
        : m_family(family)
    {
    }

    // The server has named its family in a reply that arrived at readMs: the lines booked
    // before are counted again by its rule, as read by then (a server may read a new client's
    // login only after looking up its address).
    void setFamily(Family family, qint64 readMs);
    // The connection's earlier lines are not ours to know (a bouncer's): from atMs on, the
    // account may stand as far ahead as the server lets it.
    void assumeFull(qint64 atMs);
    // Once the server has welcomed us, irc2 adds each command's own penalty.
    void setRegistered(bool registered) { m_registered = registered; }

    // The line is sent at sentMs: returns when the server relays it.
    qint64 book(const Line &line, qint64 sentMs);
    // When the server relays the last line booked.
    qint64 lastRelayMs() const { return m_lastRelayMs; }
    // How far the account stands ahead of nowMs: what a schedule may have to wait for.
    qint64 aheadMs(qint64 nowMs) const;
    // The same, without the line being sent.
    qint64 relayTime(const Line &line, qint64 sentMs) const;
    // lines' dueMs count from the start of the schedule, in order; nowMs is the earliest start.
    // Its cost does not grow with the wait: only the lines that the account still weighs on are
    // booked for each start tried.
    Plan plan(const QList<Line> &lines, qint64 nowMs) const;
    // Whether a line sent at sentMs lets every line of the schedule (dueMs on our clock) still
    // reach the channel on time, as far as the lines alone would have.
    bool delaysNothing(const Line &line, qint64 sentMs, const QList<Line> &schedule) const;

private:
    qint64 costMs(const Line &line) const;
    qint64 aheadTakenMs() const;
    // Nothing booked before still weighs on a line sent at sentMs: from here on, what happens
    // to a schedule no longer depends on the past.
    bool isCaughtUp(qint64 sentMs) const;
    QList<qint64> latenessOf(const QList<Line> &lines, qint64 startMs) const;

    Family m_family;
    bool m_registered = false;
    qint64 m_accountMs = 0;
    qint64 m_lastRelayMs = 0;
    // ngIRCd's pass over what it has read: when it began, and the lines it has handled.
    qint64 m_passStartMs = 0;
    qint64 m_passLines = 0;
    // While the family is unnamed, the lines booked, to be counted once it is known.
    QList<std::pair<Line, qint64>> m_unnamedLines;
};
