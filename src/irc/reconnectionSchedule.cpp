#include "reconnectionSchedule.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace reconnectionSchedule {

int delaySeconds(int attempt)
{
    constexpr int firstSeconds = 5;
    constexpr int longestSeconds = 60;
    if (attempt >= 5)
        return longestSeconds;
    return std::min(longestSeconds, firstSeconds << std::max(0, attempt - 1));
}

std::optional<QString> alternateNickname(const QString &nick, int collisions)
{
    constexpr int alternates = 2;
    if (collisions < 1 || collisions > alternates)
        return std::nullopt;
    return nick + QString(collisions, u'_');
}

} // namespace reconnectionSchedule
