#pragma once

#include <QString>

// A channel name as the user typed it, with every "#" removed and one put in front.
QString normaliseChannel(const QString &typed);
