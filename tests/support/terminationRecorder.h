#pragma once

#include "platform/processControl.h"

#include <QList>

// Keeps the process alive where the program would end it at once, and notes each request.
class TerminationRecorder
{
public:
    TerminationRecorder()
    {
        platform::setTerminateHandler([this](int exitCode) { exitCodes.append(exitCode); });
    }
    ~TerminationRecorder() { platform::setTerminateHandler({}); }
    TerminationRecorder(const TerminationRecorder &) = delete;
    TerminationRecorder &operator=(const TerminationRecorder &) = delete;

    QList<int> exitCodes;
};
