#include "blockRecognition.h"

#include <QStringList>
#include <QStringView>

using namespace Qt::StringLiterals;

namespace blockRecognition {
namespace {

const QString numeric020 = u" 020 * :"_s;

// The block's lines without their line ends; the first may be the tail of a line that began in
// an earlier block.
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

} // namespace

bool holds020(const QString &block)
{
    return block.contains(numeric020);
}

std::optional<QString> serverNameFrom020(const QString &block)
{
    const qsizetype at = block.indexOf(numeric020);
    if (at < 0)
        return std::nullopt;
    const qsizetype lineStart = block.lastIndexOf(u'\n', at) + 1;
    QStringView prefix = QStringView(block).mid(lineStart, at - lineStart);
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
    return block.contains(u":"_s + server + u" 376 "_s + nick)
        || block.contains(u":"_s + server + u" 422 "_s + nick);
}

bool isNicknameInUse(const QString &block)
{
    if (block.contains(u"Nickname is already in use"_s))
        return true;
    for (QStringView line : linesOf(block)) {
        if (!line.startsWith(u':'))
            continue;
        const qsizetype blank = line.indexOf(u' ');
        if (blank > 1 && line.mid(blank).startsWith(u" 433 "))
            return true;
    }
    return false;
}

bool isPingFor(const QString &block, const QString &server)
{
    return block.contains(u"PING :"_s + server);
}

QStringList pingParameters(const QString &block)
{
    QStringList parameters;
    for (QStringView parameter : parametersOf(block, u"PING "))
        parameters << parameter.toString();
    return parameters;
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
    const QString part = u" PART "_s + channel;
    for (QStringView line : linesOf(block)) {
        if (!line.startsWith(source))
            continue;
        for (qsizetype at = line.indexOf(part); at >= 0; at = line.indexOf(part, at + 1)) {
            const qsizetype after = at + part.size();
            if (after == line.size() || line.at(after) == u' ')
                return true;
        }
    }
    return false;
}

bool isKickOf(const QString &block, const QString &channel, const QString &nick)
{
    return block.contains(u"KICK "_s + channel + u" "_s + nick + u" :"_s);
}

} // namespace blockRecognition
