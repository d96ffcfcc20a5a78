#pragma once

#include <QString>
#include <optional>

// Tests on one received block: whatever one read returned, possibly several lines or a part of
// one. All comparisons are exact and case-sensitive.
namespace blockRecognition {

// The server's own name from its numeric 020, taken from the line that carries it; nothing when
// the block has no such line or the line names no server.
std::optional<QString> serverNameFrom020(const QString &block);
bool holds020(const QString &block);

bool isEndOfMotd(const QString &block, const QString &server, const QString &nick);

// A line whose command is the numeric 433, or the server's own words for it. A 433 that is only
// part of a number (a user count, say) is no collision.
bool isNicknameInUse(const QString &block);

bool isPingFor(const QString &block, const QString &server);

// The server's report that our own connection has left the channel.
bool isOwnPart(const QString &block, const QString &nick, const QString &channel);

bool isKickOf(const QString &block, const QString &channel, const QString &nick);

} // namespace blockRecognition
