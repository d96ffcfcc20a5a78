#include "ircMessage.h"

IrcMessage IrcMessage::parse(QStringView line)
{
    IrcMessage message;
    // Tags come only from servers that were asked for them; a line without its blank is left
    // as it came, to match nothing.
    if (line.startsWith(u'@') && line.contains(u' ')) {
        const qsizetype blank = line.indexOf(u' ');
        message.tags = line.mid(1, blank - 1).toString();
        line = line.mid(blank + 1);
    }
    message.line = line.toString();
    QStringView rest = line;
    if (rest.startsWith(u':')) {
        const qsizetype blank = rest.indexOf(u' ');
        message.prefix = rest.mid(1, blank < 0 ? -1 : blank - 1).toString();
        rest = blank < 0 ? QStringView() : rest.mid(blank + 1);
    }
    const qsizetype blank = rest.indexOf(u' ');
    message.command = rest.left(blank < 0 ? rest.size() : blank).toString();
    if (blank < 0)
        return message;
    rest = rest.mid(blank + 1);
    message.parameterText = rest.toString();
    message.hasParameterText = true;
    while (!rest.isEmpty()) {
        if (rest.startsWith(u':')) {
            message.trailing = rest.mid(1).toString();
            message.hasTrailing = true;
            break;
        }
        const qsizetype next = rest.indexOf(u' ');
        message.parameters << rest.left(next < 0 ? rest.size() : next).toString();
        rest = next < 0 ? QStringView() : rest.mid(next + 1);
    }
    return message;
}

QList<IrcMessage> IrcMessage::parseBlock(const QString &block)
{
    QList<IrcMessage> messages;
    for (QStringView line : QStringView(block).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        messages << parse(line);
    }
    return messages;
}

QString IrcMessage::sourceNick() const
{
    const qsizetype bang = prefix.indexOf(u'!');
    return bang < 0 ? QString() : prefix.left(bang);
}

bool IrcMessage::isNumeric(QStringView numeric) const
{
    return !prefix.isEmpty() && command == numeric && hasParameterText;
}

QString IrcMessage::tag(QStringView key) const
{
    for (QStringView entry : QStringView(tags).split(u';')) {
        const qsizetype equals = entry.indexOf(u'=');
        if (entry.left(equals < 0 ? entry.size() : equals) == key)
            return equals < 0 ? QString() : entry.mid(equals + 1).toString();
    }
    return {};
}
