#pragma once

#include "floodAccount.h"
#include "ircMessage.h"
#include "scheduledLine.h"

#include <QObject>
#include <optional>

class IrcSession;
class QTimer;

// The pace of the channel. Every line the session writes is booked here in the server's flood
// account; a run's lines are planned against it at 開始, written a moment's group at a time,
// and protected while due: what no run waits for (the NAMES after a PONG, what the user types)
// is held while it would make one of them late. When the countdown or the run ends, the status
// log says when its last line reached the channel, as far as the server lets that be known.
class ChannelPacer : public QObject
{
    Q_OBJECT
public:
    explicit ChannelPacer(IrcSession *session, QObject *parent = nullptr);

    // The clock the server's account and a run's schedule share, in milliseconds.
    static qint64 nowMs();

    // How long a run's lines (due in milliseconds from its start) wait so that the server's
    // flood control holds none of them, or, where no wait does that, holds them least. The
    // status log says why it waits, and which lines will be late all the same.
    qint64 planStart(const ScheduledLines &lines);
    // The run's lines still due, on the shared clock; empty when no run is in progress.
    void protectSchedule(const ScheduledLines &lines);
    // The lines due at one moment, in one write. stale: their moment has passed (the machine
    // froze or slept); they are logged instead.
    void sendRunLines(const ScheduledLines &lines, bool stale);
    void SendPrivmsg(const QString &text, bool stale = false);
    void SendNotice(const QString &text, bool stale = false);
    // What the user types: in lines the server takes whole, each held while it would make a
    // due line of the run late.
    void SendChatText(const QString &text);

signals:
    void statusLine(const QString &text);

private:
    // How a group's arrival in the channel is found out.
    enum class ArrivalCheck { None, Echo, Ping, Account, Unknowable };

    void restart();
    void takeMessages(const IrcMessages &block);
    void book(const QString &line, qsizetype wireBytes);
    FloodAccount::Line accountLine(const QString &line, qint64 dueMs = 0) const;
    QString channelLine(const ScheduledLine &line) const;
    QList<FloodAccount::Line> stillDue(qint64 now);
    ArrivalCheck arrivalCheckFor(const QStringList &group, const QString &ping, qint64 now) const;
    QString nextArrivalPing() const;
    // The most bytes of text a PRIVMSG to the channel may carry, as the server relays it.
    qsizetype chatTextBytes(const QString &head) const;
    // A line of ours that no announcement waits for: sent now, or once it makes none late.
    void sendWhenHarmless(const QString &line, bool typed);
    void sendHeldLines();
    void dropHeldLines();
    void askForArrival(qint64 now);
    void takeArrivals(const IrcMessages &block);
    void takeEcho(const IrcMessage &message);
    void logArrival(const QString &text, qint64 latenessMs);
    void logPredictedArrival(const QString &text, qint64 latenessMs);
    void logArrivalBound(const QString &text, qint64 latenessMs);

    IrcSession *m_session;
    FloodAccount m_flood;
    // The run's lines still due, as the server will read them.
    QList<FloodAccount::Line> m_protected;
    struct HeldLine
    {
        QString line;
        bool typed;
    };
    QList<HeldLine> m_held;
    QTimer *m_heldRelease;
    // The run's lines sent and not yet known to have reached the channel, oldest first.
    struct SentLine
    {
        QString text;
        qint64 sentMs;
        // The last of its group: its arrival is reported even when on time.
        bool reported = false;
    };
    QList<SentLine> m_unconfirmed;
    // The PING whose answer shows that every line before it was relayed.
    QString m_arrivalToken;
    int m_arrivalPings = 0;
    // Our own nick!user@host, as the server showed it in our JOIN.
    QString m_ownPrefix;
    // The server's clock less ours, as near as the echoes tell it.
    std::optional<qint64> m_serverClockAheadMs;
};
