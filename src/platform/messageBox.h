#pragma once

#include <QString>
#include <functional>

namespace platform {

// The classic message-box styles and answers; callers combine the styles as the
// original program did, so a box's look is named by one number.
constexpr int MB_OK = 0x0;
constexpr int MB_OKCANCEL = 0x1;
constexpr int MB_YESNO = 0x4;
constexpr int MB_ICONERROR = 0x10;
constexpr int MB_ICONEXCLAMATION = 0x30;
constexpr int MB_DEFBUTTON2 = 0x100;
constexpr int MB_CONFIRM = MB_OKCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON2;
// A question where the cautious answer, No, is the default.
constexpr int MB_WARY_QUESTION = MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

QString applicationTitle();

struct MessageBoxRequest
{
    QString prompt;
    int style;
    QString title;
};

// Answers boxes instead of showing them (tests); an empty hook shows real boxes again.
using MessageBoxHook = std::function<int(const MessageBoxRequest &)>;
void setMessageBoxHook(MessageBoxHook hook);

// Modal, with the prompt always as plain text: server-controlled text reaches these boxes.
int messageBox(const QString &prompt, int style, const QString &title = applicationTitle());

// The system's own box, bypassing the hook.
int showSystemMessageBox(const MessageBoxRequest &request);

} // namespace platform
