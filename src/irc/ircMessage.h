#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One line from the server, split once into its parts. The split is strict, as the protocol
// writes lines: one blank between parts, so a line with two blanks in a row has an empty part
// there and matches no command.
struct IrcMessage
{
    // The line as it came, without its line end and its IRCv3 tags.
    QString line;
    // The tags ("time=…;account=…") without their "@"; empty when the line has none.
    QString tags;
    // The source without its colon; empty when the line names none.
    QString prefix;
    QString command;
    // The parameters before the trailing one.
    QStringList parameters;
    QString trailing;
    bool hasTrailing = false;
    // Everything after the command's blank, exactly as it came, and whether there was a blank.
    QString parameterText;
    bool hasParameterText = false;

    static IrcMessage parse(QStringView line);
    // Each line of a block of whole lines.
    static QList<IrcMessage> parseBlock(const QString &block);

    // Another user's line (nick!user@host): what they write is text, never the server's word.
    bool isFromUser() const { return prefix.contains(u'!'); }
    // The nickname of a user's source; empty for a server.
    QString sourceNick() const;
    // A PRIVMSG or NOTICE: text for a channel or a user.
    bool isTextMessage() const { return command == u"PRIVMSG" || command == u"NOTICE"; }
    // A line from a server with this numeric as its command.
    bool isNumeric(QStringView numeric) const;
    // A tag's value as it stands (escapes are not undone); empty when the line has no such tag.
    QString tag(QStringView key) const;
};

using IrcMessages = QList<IrcMessage>;
