#include "messageBox.h"

#include <QApplication>
#include <QWidget>
#include <windows.h>

namespace platform {

int showSystemMessageBox(const MessageBoxRequest &request)
{
    // Owned by the active window, the box stays above it even when that window stays on top.
    // Without one, task-modal keeps the program's windows out of reach as well. The box runs
    // the thread's message loop, which also delivers the timer's ticks and socket events.
    QWidget *active = QApplication::activeWindow();
    HWND owner = active ? HWND(active->winId()) : nullptr;
    const UINT style = UINT(request.style) | (owner ? 0 : MB_TASKMODAL);
    const int answer = MessageBoxW(owner, reinterpret_cast<const wchar_t *>(request.prompt.utf16()),
                                   reinterpret_cast<const wchar_t *>(request.title.utf16()), style);
    // Esc or the close box on a Yes/No box counts as the cautious No.
    if (answer == IDYES || answer == IDNO || answer == IDOK)
        return answer;
    return (request.style & 0xF) == MB_YESNO ? IDNO : IDCANCEL;
}

} // namespace platform
