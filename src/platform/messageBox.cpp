#include "messageBox.h"

#include <QMessageBox>

using namespace Qt::StringLiterals;

namespace platform {
namespace {

MessageBoxHook &installedHook()
{
    static MessageBoxHook hook;
    return hook;
}

QMessageBox::Icon iconFor(int style)
{
    switch (style & 0xF0) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case 0x20:
        return QMessageBox::Question;
    case 0x40:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
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

    QMessageBox box;
    box.setTextFormat(Qt::PlainText);
    box.setText(prompt);
    box.setWindowTitle(title);
    box.setIcon(iconFor(style));
    if (style & MB_OKCANCEL) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(style & MB_DEFBUTTON2 ? QMessageBox::Cancel : QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    return box.exec() == QMessageBox::Ok ? IDOK : IDCANCEL;
}

} // namespace platform
