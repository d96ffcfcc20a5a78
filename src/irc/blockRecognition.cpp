#include "blockRecognition.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace blockRecognition {
namespace {

const QString numeric020 = u" 020 * :"_s;

bool holdsNumeric(const IrcMessages &block, QStringView numeric)
{
    return std::any_of(block.cbegin(), block.cend(),
                       [&](const IrcMessage &message) { return message.isNumeric(numeric); });
}

// The first line of the block with the given command and something after it.
const IrcMessage *firstWithCommand(const IrcMessages &block, QStringView command)
{
    const auto found = std::find_if(block.cbegin(), block.cend(), [&](const IrcMessage &message) {
        return message.command == command && message.hasParameterText;
    });
    return found == block.cend() ? nullptr : &*found;
}

// The server's first line with the numeric 020. It is known by its text, wherever it stands in
// the line, as servers have sent it; after the welcome other users can already write to us,
// and their words name no server.
const IrcMessage *line020(const IrcMessages &block)
{
    const auto found = std::find_if(block.cbegin(), block.cend(), [](const IrcMessage &message) {
        return !message.isFromUser() && message.line.contains(numeric020);
    });
    return found == block.cend() ? nullptr : &*found;
}

} // namespace

bool holds020(const IrcMessages &block)
{
    return line020(block) != nullptr;
}

std::optional<QString> serverNameFrom020(const IrcMessages &block)
{
    const IrcMessage *message = line020(block);
    if (!message)
        return std::nullopt;
    QStringView name = QStringView(message->line).left(message->line.indexOf(numeric020));
    if (name.startsWith(u':'))
        name = name.mid(1);
    if (name.isEmpty())
        return std::nullopt;
    return name.toString();
}

std::optional<QString> serverNameFromWelcome(const IrcMessages &block, const QString &nick)
{
    for (const IrcMessage &message : block) {
        if (message.isNumeric(u"001") && message.parameters.value(0) == nick)
            return message.prefix;
    }
    return std::nullopt;
}

bool isEndOfMotd(const IrcMessages &block, const QString &server, const QString &nick)
{
    return std::any_of(block.cbegin(), block.cend(), [&](const IrcMessage &message) {
        return (message.isNumeric(u"376") || message.isNumeric(u"422")) && message.prefix == server
            && message.parameters.value(0).startsWith(nick);
    });
}

bool isNicknameInUse(const IrcMessages &block)
{
    for (const IrcMessage &message : block) {
        if (!message.isFromUser() && message.line.contains(u"Nickname is already in use"))
            return true;
    }
    return holdsNumeric(block, u"433");
}

bool isNicknameUnavailable(const IrcMessages &block)
{
    return holdsNumeric(block, u"437");
}

std::optional<QString> banText(const IrcMessages &block)
{
    for (const IrcMessage &message : block) {
        if (!message.isNumeric(u"465"))
            continue;
        return message.hasTrailing ? message.trailing
                                   : message.command + u' ' + message.parameterText;
    }
    return std::nullopt;
}

QStringList pingAnswers(const IrcMessages &block, const QString &server, bool loggedIn,
                        const QString &channel)
{
    QStringList answers;
    bool ownAnswered = false;
    for (const IrcMessage &message : block) {
        if (message.command != u"PING" || !message.hasParameterText)
            continue;
        const QString &token = message.parameterText;
        if (!loggedIn || token != QString(u":"_s + server)) {
            answers << u"PONG "_s + token;
        } else if (!ownAnswered) {
            answers << u"PONG "_s + server << u"NAMES "_s + channel;
            ownAnswered = true;
        }
    }
    return answers;
}

bool isTlsRecord(const QString &read)
{
    return read.size() >= 2 && (read[0] == u'\x15' || read[0] == u'\x16') && read[1] == u'\x03';
}

std::optional<QString> errorText(const IrcMessages &block)
{
    const IrcMessage *error = firstWithCommand(block, u"ERROR");
    if (!error)
        return std::nullopt;
    const QStringView text = error->parameterText;
    return (text.startsWith(u':') ? text.mid(1) : text).toString();
}

bool isOwnPart(const IrcMessages &block, const QString &nick, const QString &channel)
{
    return std::any_of(block.cbegin(), block.cend(), [&](const IrcMessage &message) {
        return message.isFromUser() && message.sourceNick() == nick && message.command == u"PART"
            && !message.parameters.isEmpty() && message.parameters.first() == channel;
    });
}

bool isKickOf(const IrcMessages &block, const QString &channel, const QString &nick)
{
    return std::any_of(block.cbegin(), block.cend(), [&](const IrcMessage &message) {
        return message.command == u"KICK" && message.parameters.size() == 2
            && message.parameters[0] == channel && message.parameters[1] == nick
            && message.hasTrailing;
    });
}

} // namespace blockRecognition
