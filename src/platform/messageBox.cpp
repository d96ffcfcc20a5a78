#include "messageBox.h"

using namespace Qt::StringLiterals;

namespace platform {
namespace {

MessageBoxHook &installedHook()
{
    static MessageBoxHook hook;
    return hook;
}

} // namespace

QString applicationTitle()
{
    return u"kestrion"_s;
}

void setMessageBoxHook(MessageBoxHook hook)
{
    installedHook() = std::move(hook);
}

int messageBox(const QString &prompt, int style, const QString &title)
{
    if (installedHook())
        return installedHook()({prompt, style, title});
    return showSystemMessageBox({prompt, style, title});
}

} // namespace platform
