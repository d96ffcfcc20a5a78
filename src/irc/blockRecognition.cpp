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

bool isEndOfMotd(const QString &block, const QString &server, const QString &nick)
{
    return block.contains(u":"_s + server + u" 376 "_s + nick);
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
