// The session's lines against the server's flood control, and their arrival in the channel.

#include "ircSession.h"
#include "platform/runClock.h"
#include "socketControl.h"
#include "wireEncoding.h"

#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// A held line looks this far ahead for its moment before it asks again.
constexpr int heldSearchSteps = 600;
constexpr qint64 heldSearchStepMs = 100;
// Later than this, a line was held on the way, not just carried.
constexpr qint64 onTimeMs = 500;

QString channelLine(const ScheduledLine &line, const QString &channel)
{
    return (line.kind == ScheduledLine::Kind::Notice ? u"NOTICE "_s : u"PRIVMSG "_s) + channel
        + u" :"_s + line.text;
}

// The schedule's lines still to come: those whose moment has passed are in the account.
QList<FloodAccount::Line> stillDue(QList<FloodAccount::Line> &schedule, qint64 now)
{
    schedule.removeIf([now](const FloodAccount::Line &line) { return line.dueMs <= now; });
    return schedule;
}

// The text of a PRIVMSG line, as the user typed it.
QString typedText(const QString &line)
{
    return line.mid(line.indexOf(u" :") + 2);
}

bool isChannelText(const IrcMessage &message)
{
    return message.command == u"PRIVMSG" || message.command == u"NOTICE";
}

} // namespace

qint64 IrcSession::nowMs()
{
    return platform::RunClock::milliseconds(platform::RunClock::now());
}

FloodAccount::Line IrcSession::accountLine(const QString &line, qint64 dueMs) const
{
    return {line, encodeForWire(Ws->encoding(), line).size() + 2, dueMs};
}

void IrcSession::sendAnnouncement(const ScheduledLine &line, bool stale)
{
    if (sendToChannel(channelLine(line, strChannel), stale))
        m_unconfirmed << SentLine {line.text, nowMs(), QDateTime::currentDateTimeUtc()};
}

FloodAccount::Plan IrcSession::planStart(const ScheduledLines &lines) const
{
    QList<FloodAccount::Line> wireLines;
    for (const ScheduledLine &line : lines)
        wireLines << accountLine(channelLine(line, strChannel), line.dueMs);
    return m_flood.plan(wireLines, nowMs());
}

void IrcSession::protectSchedule(const ScheduledLines &lines)
{
    m_protected.clear();
    for (const ScheduledLine &line : lines)
        m_protected << accountLine(channelLine(line, strChannel), line.dueMs);
    if (!m_held.isEmpty())
        sendHeldLines();
}

void IrcSession::sendWhenHarmless(const QString &line, bool typed)
{
    if (m_held.isEmpty()
        && m_flood.delaysNothing(accountLine(line), nowMs(), stillDue(m_protected, nowMs()))) {
        SendLine(line);
        return;
    }
    m_held << HeldLine {line, typed};
    if (typed)
        emit statusLine(u"[i] 予定の行が遅れないよう、この発言の送信を待ちます: "_s
                        + typedText(line));
    if (!m_heldRelease->isActive())
        sendHeldLines();
}

void IrcSession::sendHeldLines()
{
    while (!m_held.isEmpty()) {
        const HeldLine held = m_held.constFirst();
        const FloodAccount::Line line = accountLine(held.line);
        const qint64 now = nowMs();
        const QList<FloodAccount::Line> schedule = stillDue(m_protected, now);
        if (!m_flood.delaysNothing(line, now, schedule)) {
            int step = 1;
            while (step < heldSearchSteps
                   && !m_flood.delaysNothing(line, now + step * heldSearchStepMs, schedule))
                ++step;
            m_heldRelease->start(int(step * heldSearchStepMs));
            return;
        }
        m_held.removeFirst();
        if (SendLine(held.line) && held.typed)
            emit statusLine(u"[i] 待たせていた発言を送信しました: "_s + typedText(held.line));
    }
}

void IrcSession::dropHeldLines()
{
    m_heldRelease->stop();
    for (const HeldLine &held : std::as_const(m_held)) {
        if (held.typed)
            logUnsent(held.line);
    }
    m_held.clear();
    m_unconfirmed.clear();
    m_arrivalToken.clear();
}

void IrcSession::noteServerFamily(const IrcMessages &block)
{
    for (const IrcMessage &message : block) {
        if (message.isNumeric(u"001"))
            m_flood.setRegistered(true);
        if (message.isNumeric(u"004"))
            m_flood.setFamily(FloodAccount::familyOf(message.parameters.value(2)), nowMs());
    }
}

void IrcSession::reportArrival()
{
    if (m_unconfirmed.isEmpty())
        return;
    if (m_capabilities.isEnabled(u"echo-message")) {
        m_unconfirmed.last().reported = true;
        return;
    }
    // Without echoes, the answer to a PING sent after the lines shows the server relayed them
    // all; a PING that would hold a line of the run is not worth it.
    const QString token = u"kestrion-"_s + QString::number(m_arrivalPings + 1);
    const FloodAccount::Line ping = accountLine(u"PING :"_s + token);
    const qint64 now = nowMs();
    if (!m_arrivalToken.isEmpty() || !m_flood.delaysNothing(ping, now, stillDue(m_protected, now)))
        return;
    // A PING the server would hold itself would time its own wait: the account tells instead.
    if (m_flood.relayTime(ping, now) > now) {
        const SentLine last = m_unconfirmed.takeLast();
        m_unconfirmed.clear();
        logPredictedArrival(last.text, m_flood.lastRelayMs() - last.sentMs);
        return;
    }
    m_unconfirmed.last().reported = true;
    if (SendLine(ping.text)) {
        m_arrivalToken = token;
        ++m_arrivalPings;
    }
}

void IrcSession::takeArrivals(const IrcMessages &block)
{
    for (const IrcMessage &message : block) {
        if (!m_arrivalToken.isEmpty() && message.command == u"PONG" && !message.isFromUser()
            && (message.trailing == m_arrivalToken
                || message.parameters.contains(m_arrivalToken))) {
            m_arrivalToken.clear();
            const auto reported = std::find_if(m_unconfirmed.cbegin(), m_unconfirmed.cend(),
                                               [](const SentLine &sent) { return sent.reported; });
            if (reported != m_unconfirmed.cend()) {
                logArrivalBound(reported->text, nowMs() - reported->sentMs);
                m_unconfirmed.erase(m_unconfirmed.cbegin(), reported + 1);
            }
            continue;
        }
        if (!m_capabilities.isEnabled(u"echo-message") || !message.isFromUser()
            || !isChannelText(message) || message.sourceNick() != strNick
            || message.parameters.value(0).compare(strChannel, Qt::CaseInsensitive) != 0)
            continue;
        const auto echoed
            = std::find_if(m_unconfirmed.cbegin(), m_unconfirmed.cend(),
                           [&](const SentLine &sent) { return sent.text == message.trailing; });
        if (echoed == m_unconfirmed.cend())
            continue;
        // The server's own stamp is the moment it relayed the line; else its echo's arrival.
        const QDateTime stamped = QDateTime::fromString(message.tag(u"time"), Qt::ISODateWithMs);
        const qint64 latenessMs
            = stamped.isValid() ? echoed->sentAt.msecsTo(stamped) : nowMs() - echoed->sentMs;
        if (echoed->reported || latenessMs >= onTimeMs)
            logArrival(echoed->text, latenessMs);
        m_unconfirmed.erase(m_unconfirmed.cbegin(), echoed + 1);
    }
}

void IrcSession::logArrival(const QString &text, qint64 latenessMs)
{
    if (latenessMs < onTimeMs) {
        emit statusLine(u"[t] "_s + text + u" はチャンネルに予定どおり届きました（"_s
                        + (latenessMs < 0 ? u"-"_s : u"+"_s)
                        + QString::number(std::abs(latenessMs) / 1000.0, 'f', 2) + u"秒）"_s);
        return;
    }
    emit statusLine(u"[-] "_s + text + u" はサーバに"_s
                    + QString::number(latenessMs / 1000.0, 'f', 1)
                    + u"秒留め置かれてから届きました"_s);
}

void IrcSession::logPredictedArrival(const QString &text, qint64 latenessMs)
{
    if (latenessMs <= 0)
        emit statusLine(u"[t] "_s + text
                        + u" はサーバの送信制限の計算では予定どおりチャンネルに届きます"_s);
    else
        emit statusLine(u"[-] "_s + text + u" はサーバの送信制限の計算では"_s
                        + QString::number(latenessMs / 1000.0, 'f', 1)
                        + u"秒遅れてチャンネルに届きます"_s);
}

// The answer to a PING shows the lines before it were relayed by then, no later: a server may
// take its time over the answer itself (irc2 answers 0.2 s late a client it has just read).
void IrcSession::logArrivalBound(const QString &text, qint64 latenessMs)
{
    const QString seconds = QString::number(latenessMs / 1000.0, 'f', 2);
    if (latenessMs < onTimeMs)
        emit statusLine(u"[t] "_s + text + u" は遅くとも+"_s + seconds
                        + u"秒までにチャンネルに届きました"_s);
    else
        emit statusLine(u"[-] "_s + text + u" はサーバに留め置かれ、遅くとも"_s + seconds
                        + u"秒遅れてチャンネルに届きました"_s);
}
