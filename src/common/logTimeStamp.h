#pragma once

#include <QString>

class QTime;

// How both logs and the lines that name a moment write a time of day.
QString logTimeStamp(const QTime &time);
