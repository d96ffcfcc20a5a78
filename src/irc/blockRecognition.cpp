#include "blockRecognition.h"

#include <QStringList>
#include <QStringView>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace blockRecognition {
namespace {

const QString numeric020 = u" 020 * :"_s;

// The block's lines without their line ends.
QList<QStringView> linesOf(const QString &block)
{
    QList<QStringView> lines;
    for (QStringView line : QStringView(block).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        lines << line;
    }
    return lines;
}

// The command of a line and what follows it, with the source prefix skipped.
QStringView commandPart(QStringView line)
{
    if (!line.startsWith(u':'))
        return line;
    const qsizetype blank = line.indexOf(u' ');
    return blank < 0 ? QStringView() : line.mid(blank + 1);
}

// What follows a command (given with its blank) on each line that carries it.
QList<QStringView> parametersOf(const QString &block, QStringView command)
{
    QList<QStringView> parameters;
    for (QStringView line : linesOf(block)) {
        const QStringView rest = commandPart(line);
        if (rest.startsWith(command))
            parameters << rest.mid(command.size());
    }
    return parameters;
}

// A line from another user: its source is nick!user@host. What they write is text, never a
// server's word.
bool isFromAUser(QStringView line)
{
    if (!line.startsWith(u':'))
        return false;
    const qsizetype blank = line.indexOf(u' ');
    return line.left(blank < 0 ? line.size() : blank).contains(u'!');
}

// A line from the server whose command is the given numeric; the same digits inside a longer
// number or a text are no numeric.
bool isNumericLine(QStringView line, QStringView numeric)
{
    if (!line.startsWith(u':'))
        return false;
    const qsizetype blank = line.indexOf(u' ');
    const QStringView rest = line.mid(blank + 1);
    return blank > 1 && rest.startsWith(numeric) && rest.mid(numeric.size()).startsWith(u' ');
}

bool holdsNumeric(const QString &block, QStringView numeric)
{
    const QList<QStringView> lines = linesOf(block);
    return std::any_of(lines.cbegin(), lines.cend(),
                       [&](QStringView line) { return isNumericLine(line, numeric); });
}

// The server's first line with the numeric 020. After the welcome other users can already
// write to us, and their words name no server.
std::optional<QStringView> line020(const QString &block)
{
    for (QStringView line : linesOf(block)) {
        if (!isFromAUser(line) && line.contains(numeric020))
            return line;
    }
    return std::nullopt;
}

} // namespace

bool holds020(const QString &block)
{
    return line020(block).has_value();
}

std::optional<QString> serverNameFrom020(const QString &block)
{
    const std::optional<QStringView> line = line020(block);
    if (!line)
        return std::nullopt;
    QStringView prefix = line->left(line->indexOf(numeric020));
    if (prefix.startsWith(u':'))
        prefix = prefix.mid(1);
    if (prefix.isEmpty())
        return std::nullopt;
    return prefix.toString();
}

std::optional<QString> serverNameFromWelcome(const QString &block, const QString &nick)
{
    const QString welcome = u" 001 "_s + nick;
    for (QStringView line : linesOf(block)) {
        const qsizetype blank = line.indexOf(u' ');
        if (!line.startsWith(u':') || blank < 2 || !line.mid(blank).startsWith(welcome))
            continue;
        const QStringView after = line.mid(blank + welcome.size());
        if (after.isEmpty() || after.startsWith(u' '))
            return line.mid(1, blank - 1).toString();
    }
    return std::nullopt;
}

bool isEndOfMotd(const QString &block, const QString &server, const QString &nick)
{
    const QString endOfMotd = u":"_s + server + u" 376 "_s + nick;
    const QString noMotd = u":"_s + server + u" 422 "_s + nick;
    for (QStringView line : linesOf(block)) {
        if (line.startsWith(endOfMotd) || line.startsWith(noMotd))
            return true;
    }
    return false;
}

bool isNicknameInUse(const QString &block)
{
    for (QStringView line : linesOf(block)) {
        if (!isFromAUser(line) && line.contains(u"Nickname is already in use"))
            return true;
    }
    return holdsNumeric(block, u"433");
}

bool isNicknameUnavailable(const QString &block)
{
    return holdsNumeric(block, u"437");
}

std::optional<QString> banText(const QString &block)
{
    for (QStringView line : linesOf(block)) {
        if (!isNumericLine(line, u"465"))
            continue;
        const qsizetype text = line.indexOf(u" :");
        return (text < 0 ? commandPart(line) : line.mid(text + 2)).toString();
    }
    return std::nullopt;
}

QStringList pingAnswers(const QString &block, const QString &server, bool loggedIn,
                        const QString &channel)
{
    QStringList answers;
    bool ownAnswered = false;
    for (QStringView token : parametersOf(block, u"PING ")) {
        if (!loggedIn || token != QString(u":"_s + server)) {
            answers << u"PONG "_s + token.toString();
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

std::optional<QString> errorText(const QString &block)
{
    const QList<QStringView> errors = parametersOf(block, u"ERROR ");
    if (errors.isEmpty())
        return std::nullopt;
    const QStringView text = errors.constFirst();
    return (text.startsWith(u':') ? text.mid(1) : text).toString();
}

bool isOwnPart(const QString &block, const QString &nick, const QString &channel)
{
    const QString source = u":"_s + nick + u"!"_s;
    const QString part = u"PART "_s + channel;
    for (QStringView line : linesOf(block)) {
        if (!line.startsWith(source))
            continue;
        const QStringView command = commandPart(line);
        if (command.startsWith(part)
            && (command.size() == part.size() || command.at(part.size()) == u' '))
            return true;
    }
    return false;
}

bool isKickOf(const QString &block, const QString &channel, const QString &nick)
{
    const QString kick = u"KICK "_s + channel + u" "_s + nick + u" :"_s;
    for (QStringView line : linesOf(block)) {
        if (commandPart(line).startsWith(kick))
            return true;
    }
    return false;
}

} // namespace blockRecognition
