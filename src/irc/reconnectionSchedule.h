#pragma once

#include <QString>
#include <optional>

// When a lost connection is tried again, and under which nickname.
namespace reconnectionSchedule {

// Seconds before the given attempt (counted from 1): quick at first, for a server restart or a
// router that reconnects, then once a minute for as long as it takes.
int delaySeconds(int attempt);

// An attempt whose socket opens but whose login has not completed by then is given up.
constexpr int loginSeconds = 60;

// The nickname to try after the given number of collisions in one attempt (a server that still
// holds the lost connection keeps its nickname for a while); nothing once both are used.
std::optional<QString> alternateNickname(const QString &nick, int collisions);

} // namespace reconnectionSchedule
