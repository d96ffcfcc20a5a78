#include "messageBox.h"

#include <QMessageBox>

namespace platform {
namespace {

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

int showSystemMessageBox(const MessageBoxRequest &request)
{
    QMessageBox box;
    box.setTextFormat(Qt::PlainText);
    box.setText(request.prompt);
    box.setWindowTitle(request.title);
    box.setIcon(iconFor(request.style));
    if (request.style & MB_OKCANCEL) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(request.style & MB_DEFBUTTON2 ? QMessageBox::Cancel : QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    return box.exec() == QMessageBox::Ok ? IDOK : IDCANCEL;
}

} // namespace platform
