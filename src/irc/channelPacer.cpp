#include "channelPacer.h"

#include "ircSession.h"
#include "platform/runClock.h"
#include "wireEncoding.h"

#include <QDateTime>
#include <QTimer>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// A held line looks this far ahead for its moment before it asks again.
constexpr int heldSearchSteps = 600;
constexpr qint64 heldSearchStepMs = 100;
// Later than this, a line was held on the way, not just carried.
constexpr qint64 onTimeMs = 500;
// A wait longer than this at 開始 is explained in the status log.
constexpr qint64 longWaitMs = 60000;
// What a server puts before a line it relays: ":" nick "!" user "@" host " ". Until our JOIN
// shows it, the longest a user (10) and a host name (63) can make it.
constexpr qsizetype longestUserAndHostBytes = 1 + 10 + 1 + 63;
constexpr qsizetype serverLineBytes = 512;

// The text of a PRIVMSG line, as the user typed it.
QString typedText(const QString &line)
{
    return line.mid(line.indexOf(u" :") + 2);
}

QString seconds(qint64 milliseconds, int decimals)
{
    return QString::number(milliseconds / 1000.0, 'f', decimals);
}

} // namespace

ChannelPacer::ChannelPacer(IrcSession *session, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_heldRelease(new QTimer(this))
{
    m_heldRelease->setSingleShot(true);
    m_heldRelease->setTimerType(Qt::PreciseTimer);
    connect(m_heldRelease, &QTimer::timeout, this, &ChannelPacer::sendHeldLines);
    connect(session, &IrcSession::connectionOpened, this, &ChannelPacer::restart);
    connect(session, &IrcSession::connectionClosed, this, &ChannelPacer::dropHeldLines);
    connect(session, &IrcSession::messagesArrived, this, &ChannelPacer::takeMessages);
    connect(session, &IrcSession::lineWritten, this, &ChannelPacer::book);
    connect(session, &IrcSession::lineDeferred, this,
            [this](const QString &line) { sendWhenHarmless(line, false); });
}

qint64 ChannelPacer::nowMs()
{
    return platform::RunClock::milliseconds(platform::RunClock::now());
}

void ChannelPacer::restart()
{
    // A new connection starts with an empty account, until its server names its family.
    m_flood = FloodAccount();
    m_ownPrefix.clear();
    m_serverClockAheadMs.reset();
}

void ChannelPacer::book(const QString &line, qsizetype wireBytes)
{
    m_flood.book(FloodAccount::lineOf(line, wireBytes), nowMs());
}

FloodAccount::Line ChannelPacer::accountLine(const QString &line, qint64 dueMs) const
{
    return FloodAccount::lineOf(line, encodeForWire(m_session->encoding(), line).size() + 2, dueMs);
}

QString ChannelPacer::channelLine(const ScheduledLine &line) const
{
    return (line.kind == ScheduledLine::Kind::Notice ? u"NOTICE "_s : u"PRIVMSG "_s)
        + m_session->channel() + u" :"_s + line.text;
}

// The schedule's lines still to come: those whose moment has passed are in the account.
QList<FloodAccount::Line> ChannelPacer::stillDue(qint64 now)
{
    m_protected.removeIf([now](const FloodAccount::Line &line) { return line.dueMs <= now; });
    return m_protected;
}

qint64 ChannelPacer::planStart(const ScheduledLines &lines)
{
    QList<FloodAccount::Line> wireLines;
    for (const ScheduledLine &line : lines)
        wireLines << accountLine(channelLine(line), line.dueMs);
    const FloodAccount::Plan plan = m_flood.plan(wireLines, nowMs());
    if (plan.waitMs > 0)
        emit statusLine(u"[i] サーバの送信制限のため、"_s
                        + QString::number((plan.waitMs + 999) / 1000)
                        + u"秒後にカウントを始めます"_s);
    if (plan.waitMs > longWaitMs)
        emit statusLine(
            u"[i] これまでに送った行（長い行ほど重く数えられます）がサーバの送信制限に"
            u"積み重なっているため、待ち時間が長くなります。待つ間は中断で取りやめられます"_s);
    QStringList late;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (plan.latenessMs[i] >= 100)
            late << lines[i].text + u"（"_s + seconds(plan.latenessMs[i], 1) + u"秒）"_s;
    }
    if (!late.isEmpty())
        emit statusLine(u"[-] サーバの送信制限のため、次の行は遅れてチャンネルに届きます: "_s
                        + late.join(u"、"_s));
    return plan.waitMs;
}

void ChannelPacer::protectSchedule(const ScheduledLines &lines)
{
    m_protected.clear();
    for (const ScheduledLine &line : lines)
        m_protected << accountLine(channelLine(line), line.dueMs);
    if (!m_held.isEmpty())
        sendHeldLines();
}

QString ChannelPacer::nextArrivalPing() const
{
    return u"PING :kestrion-"_s + QString::number(m_arrivalPings + 1);
}

ChannelPacer::ArrivalCheck ChannelPacer::arrivalCheckFor(const QStringList &group,
                                                         const QString &ping, qint64 now) const
{
    // A bouncer echoes our lines and answers our PINGs the moment it takes them.
    if (m_session->isBouncer())
        return ArrivalCheck::Unknowable;
    if (m_session->hasCapability(u"echo-message"))
        return ArrivalCheck::Echo;
    // Without echoes, the answer to a PING sent after the lines shows the server relayed them
    // all; a PING that would hold a line of the run is not worth it.
    FloodAccount account = m_flood;
    for (const QString &line : group)
        account.book(accountLine(line), now);
    const FloodAccount::Line pingLine = accountLine(ping);
    QList<FloodAccount::Line> due = m_protected;
    due.removeIf([now](const FloodAccount::Line &line) { return line.dueMs <= now; });
    if (!m_arrivalToken.isEmpty() || !account.delaysNothing(pingLine, now, due))
        return ArrivalCheck::None;
    // A PING the server would hold itself would time its own wait: the account tells instead.
    if (account.relayTime(pingLine, now) > now)
        return ArrivalCheck::Account;
    return ArrivalCheck::Ping;
}

void ChannelPacer::sendRunLines(const ScheduledLines &lines, bool stale)
{
    QStringList group;
    for (const ScheduledLine &line : lines)
        group << channelLine(line);
    // A line whose moment a frozen or sleeping machine let pass would only mislead the channel,
    // and many at once would read as a flood.
    if (stale) {
        for (const QString &line : std::as_const(group))
            emit statusLine(u"[-] 時刻を過ぎたため送信しません: "_s + line);
        return;
    }
    const bool reports = std::any_of(lines.cbegin(), lines.cend(),
                                     [](const ScheduledLine &line) { return line.reportsArrival; });
    const qint64 now = nowMs();
    const QString ping = nextArrivalPing();
    // Offline, the lines are only logged as unsent, and nothing asks after them.
    const bool online = m_session->loggedIn() && m_session->isConnected();
    const ArrivalCheck check
        = reports && online ? arrivalCheckFor(group, ping, now) : ArrivalCheck::None;
    // The PING in the same write as the lines, so the server reads it with them.
    if (!m_session->SendChannelLines(check == ArrivalCheck::Ping ? group + QStringList {ping}
                                                                 : group))
        return;
    const bool watched = check == ArrivalCheck::Echo || check == ArrivalCheck::Ping;
    for (const ScheduledLine &line : lines)
        m_unconfirmed << SentLine {line.text, now, watched && line.reportsArrival};
    const QString last = m_unconfirmed.constLast().text;
    switch (check) {
    case ArrivalCheck::Ping:
        m_arrivalToken = ping.mid(ping.indexOf(u':') + 1);
        ++m_arrivalPings;
        break;
    case ArrivalCheck::Account:
        m_unconfirmed.clear();
        logPredictedArrival(last, m_flood.lastRelayMs() - now);
        break;
    case ArrivalCheck::Unknowable:
        m_unconfirmed.clear();
        emit statusLine(u"[i] "_s + last
                        + u" がチャンネルに届いた時刻は、バウンサを経由しているため分かりません"_s);
        break;
    case ArrivalCheck::None:
    case ArrivalCheck::Echo:
        break;
    }
}

void ChannelPacer::SendPrivmsg(const QString &text, bool stale)
{
    sendRunLines({{ScheduledLine::Kind::Privmsg, text}}, stale);
}

void ChannelPacer::SendNotice(const QString &text, bool stale)
{
    sendRunLines({{ScheduledLine::Kind::Notice, text}}, stale);
}

qsizetype ChannelPacer::chatTextBytes(const QString &head) const
{
    const WireEncoding encoding = m_session->encoding();
    const qsizetype prefixBytes = m_ownPrefix.isEmpty()
        ? encodeForWire(encoding, m_session->nick()).size() + longestUserAndHostBytes
        : encodeForWire(encoding, m_ownPrefix).size();
    return serverLineBytes - 2 - (1 + prefixBytes + 1) - encodeForWire(encoding, head).size();
}

void ChannelPacer::SendChatText(const QString &text)
{
    const QString head = u"PRIVMSG "_s + m_session->channel() + u" :"_s;
    if (!m_session->loggedIn()) {
        m_session->SendChannelLines({head + text});
        return;
    }
    // The server would cut a longer line and drop the rest of the text without a word.
    const QStringList pieces = splitForWire(m_session->encoding(), text, chatTextBytes(head));
    if (pieces.size() > 1)
        emit statusLine(u"[i] 長い発言のため、"_s + QString::number(pieces.size())
                        + u"行に分けて送信します"_s);
    for (const QString &piece : pieces)
        sendWhenHarmless(head + piece, true);
}

void ChannelPacer::sendWhenHarmless(const QString &line, bool typed)
{
    const qint64 now = nowMs();
    if (m_held.isEmpty() && m_flood.delaysNothing(accountLine(line), now, stillDue(now))) {
        m_session->SendLine(line);
        return;
    }
    m_held << HeldLine {line, typed};
    if (typed)
        emit statusLine(u"[i] 予定の行が遅れないよう、この発言の送信を待ちます: "_s
                        + typedText(line));
    if (!m_heldRelease->isActive())
        sendHeldLines();
}

void ChannelPacer::sendHeldLines()
{
    while (!m_held.isEmpty()) {
        const HeldLine held = m_held.constFirst();
        const FloodAccount::Line line = accountLine(held.line);
        const qint64 now = nowMs();
        const QList<FloodAccount::Line> schedule = stillDue(now);
        if (!m_flood.delaysNothing(line, now, schedule)) {
            int step = 1;
            while (step < heldSearchSteps
                   && !m_flood.delaysNothing(line, now + step * heldSearchStepMs, schedule))
                ++step;
            m_heldRelease->start(int(step * heldSearchStepMs));
            return;
        }
        m_held.removeFirst();
        if (m_session->SendLine(held.line) && held.typed)
            emit statusLine(u"[i] 待たせていた発言を送信しました: "_s + typedText(held.line));
    }
}

void ChannelPacer::dropHeldLines()
{
    m_heldRelease->stop();
    QStringList typed;
    for (const HeldLine &held : std::as_const(m_held)) {
        if (held.typed)
            typed << held.line;
    }
    m_held.clear();
    m_unconfirmed.clear();
    m_arrivalToken.clear();
    // Offline now: the session logs them as unsent.
    if (!typed.isEmpty())
        m_session->SendChannelLines(typed);
}

void ChannelPacer::takeMessages(const IrcMessages &block)
{
    for (const IrcMessage &message : block) {
        if (message.isNumeric(u"001"))
            m_flood.setRegistered(true);
        if (message.isNumeric(u"004")) {
            m_flood.setFamily(FloodAccount::familyOf(message.parameters.value(2)), nowMs());
            // The server counts the bouncer's own lines on the same connection.
            if (m_session->isBouncer())
                m_flood.assumeFull(nowMs());
        }
        if (message.command == u"JOIN"
            && message.sourceNick().compare(m_session->nick(), Qt::CaseInsensitive) == 0)
            m_ownPrefix = message.prefix;
        // Echoes withdrawn while a line waits for its own: a PING asks instead.
        if (message.command == u"CAP" && message.parameters.value(1) == u"DEL"
            && message.trailing.split(u' ').contains(u"echo-message"))
            askForArrival(nowMs());
    }
    if (m_session->loggedIn())
        takeArrivals(block);
}

void ChannelPacer::askForArrival(qint64 now)
{
    const bool awaited = std::any_of(m_unconfirmed.cbegin(), m_unconfirmed.cend(),
                                     [](const SentLine &sent) { return sent.reported; });
    if (!awaited || !m_arrivalToken.isEmpty())
        return;
    const QString ping = nextArrivalPing();
    if (!m_flood.delaysNothing(accountLine(ping), now, stillDue(now)))
        return;
    if (m_session->SendLine(ping)) {
        m_arrivalToken = ping.mid(ping.indexOf(u':') + 1);
        ++m_arrivalPings;
    }
}

void ChannelPacer::takeArrivals(const IrcMessages &block)
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
        if (m_session->hasCapability(u"echo-message") && !m_session->isBouncer()
            && message.isFromUser() && message.isTextMessage()
            && message.sourceNick() == m_session->nick()
            && message.parameters.value(0).compare(m_session->channel(), Qt::CaseInsensitive) == 0)
            takeEcho(message);
    }
}

void ChannelPacer::takeEcho(const IrcMessage &message)
{
    const auto echoed
        = std::find_if(m_unconfirmed.cbegin(), m_unconfirmed.cend(),
                       [&](const SentLine &sent) { return sent.text == message.trailing; });
    if (echoed == m_unconfirmed.cend())
        return;
    const qint64 arrivedMs = nowMs();
    qint64 latenessMs = arrivedMs - echoed->sentMs;
    // The server stamps the moment it relayed the line, on a clock of its own. No line was
    // relayed after its echo came back, so the most that any stamp stands ahead of its echo's
    // arrival is the nearest known lead of that clock over ours.
    const QDateTime stamped = QDateTime::fromString(message.tag(u"time"), Qt::ISODateWithMs);
    if (stamped.isValid()) {
        const qint64 stampMs = stamped.toMSecsSinceEpoch();
        m_serverClockAheadMs
            = std::max(m_serverClockAheadMs.value_or(stampMs - arrivedMs), stampMs - arrivedMs);
        latenessMs = stampMs - *m_serverClockAheadMs - echoed->sentMs;
    }
    if (echoed->reported || latenessMs >= onTimeMs)
        logArrival(echoed->text, latenessMs);
    m_unconfirmed.erase(m_unconfirmed.cbegin(), echoed + 1);
}

void ChannelPacer::logArrival(const QString &text, qint64 latenessMs)
{
    if (latenessMs < onTimeMs) {
        emit statusLine(u"[t] "_s + text + u" はチャンネルに予定どおり届きました（"_s
                        + (latenessMs < 0 ? u"-"_s : u"+"_s) + seconds(std::abs(latenessMs), 2)
                        + u"秒）"_s);
        return;
    }
    emit statusLine(u"[-] "_s + text + u" はサーバに"_s + seconds(latenessMs, 1)
                    + u"秒留め置かれてから届きました"_s);
}

void ChannelPacer::logPredictedArrival(const QString &text, qint64 latenessMs)
{
    if (latenessMs <= 0)
        emit statusLine(u"[t] "_s + text
                        + u" はサーバの送信制限の計算では予定どおりチャンネルに届きます"_s);
    else
        emit statusLine(u"[-] "_s + text + u" はサーバの送信制限の計算では"_s
                        + seconds(latenessMs, 1) + u"秒遅れてチャンネルに届きます"_s);
}

// The answer to a PING shows the lines before it were relayed by then, no later: a server may
// take its time over the answer itself (irc2 answers 0.2 s late a client it has just read).
void ChannelPacer::logArrivalBound(const QString &text, qint64 latenessMs)
{
    if (latenessMs < onTimeMs)
        emit statusLine(u"[t] "_s + text + u" は遅くとも+"_s + seconds(latenessMs, 2)
                        + u"秒までにチャンネルに届きました"_s);
    else
        emit statusLine(u"[-] "_s + text + u" はサーバに留め置かれ、遅くとも"_s
                        + seconds(latenessMs, 2) + u"秒遅れてチャンネルに届きました"_s);
}
