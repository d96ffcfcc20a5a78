#pragma once

#include "ircMessage.h"

#include <QString>
#include <QStringList>
#include <optional>

// Tests on one received block: the whole lines that one read completed, each parsed once. Each
// test looks at the lines a server sends, never at the text another user writes. All
// comparisons are exact and case-sensitive.
namespace blockRecognition {

// The server's own name from its numeric 020, taken from the line that carries it; nothing when
// the block has no such line or the line names no server.
std::optional<QString> serverNameFrom020(const IrcMessages &block);
bool holds020(const IrcMessages &block);

// The server's name as the source of its welcome (numeric 001) to nick, for servers that send
// no 020 and name themselves otherwise than the host the user chose.
std::optional<QString> serverNameFromWelcome(const IrcMessages &block, const QString &nick);

// The end of the message of the day, or the server's word that it has none, addressed to nick
// or to a nickname the server made of it by adding to its end.
bool isEndOfMotd(const IrcMessages &block, const QString &server, const QString &nick);

// A line whose command is the numeric 433, or the server's own words for it. A 433 that is only
// part of a number (a user count, say) is no collision.
bool isNicknameInUse(const IrcMessages &block);
// The numeric 437: the nickname is held for a while after a KILL or a netsplit.
bool isNicknameUnavailable(const IrcMessages &block);
// The server's text with its numeric 465: this client is banned from it.
std::optional<QString> banText(const IrcMessages &block);

// The lines that answer the server's PINGs in the block: PONG with each token exactly as it
// came. After the login the server's own PING, its name as the token, is answered as it always
// has been, PONG <server> and NAMES <channel>, once a block. A PING inside a message or notice
// is text and gets nothing.
QStringList pingAnswers(const IrcMessages &block, const QString &server, bool loggedIn,
                        const QString &channel);

// What a TLS port answers to plain text: a TLS record (an alert), whose first bytes are its
// content type, 0x15 or 0x16, and the protocol's major version, 3.
bool isTlsRecord(const QString &read);

// The reason a server gives with its ERROR line when it ends the connection.
std::optional<QString> errorText(const IrcMessages &block);

// The server's report that our own connection has left the channel.
bool isOwnPart(const IrcMessages &block, const QString &nick, const QString &channel);

// A KICK of nick from the channel, with a reason.
bool isKickOf(const IrcMessages &block, const QString &channel, const QString &nick);

} // namespace blockRecognition
