#pragma once

#include "platform/messageBox.h"

#include <QList>
#include <QQueue>

// Answers every message box instead of showing it, and keeps what each one said.
class MessageBoxResponder
{
public:
    MessageBoxResponder() { install(); }
    void install()
    {
        platform::setMessageBoxHook([this](const platform::MessageBoxRequest &request) {
            boxes.append(request);
            return answers.isEmpty() ? platform::IDOK : answers.dequeue();
        });
    }
    ~MessageBoxResponder() { platform::setMessageBoxHook({}); }
    MessageBoxResponder(const MessageBoxResponder &) = delete;
    MessageBoxResponder &operator=(const MessageBoxResponder &) = delete;

    // Answers for the next boxes, in order; after them every box is answered OK.
    QQueue<int> answers;
    QList<platform::MessageBoxRequest> boxes;
};
