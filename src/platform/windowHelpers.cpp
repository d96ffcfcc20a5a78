#include "windowHelpers.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QWidget>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace platform {

QRect twipsRect(int left, int top, int width, int height)
{
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

void placeInTwips(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(twipsRect(left, top, width, height));
}

QColor systemColour(int index)
{
    switch (index) {
    case COLOR_SCROLLBAR:
        return QColor(0xC8, 0xC8, 0xC8);
    case COLOR_MENU:
        return QColor(0xF0, 0xF0, 0xF0);
    default:
        return QApplication::palette().color(QPalette::Base);
    }
}

void setBackgroundColour(QWidget *widget, int systemColourIndex)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, systemColour(systemColourIndex));
    widget->setPalette(palette);
}

QFont japaneseFont(qreal pointSize)
{
    QFont font;
#ifdef Q_OS_WIN
    // Windows 10 and later install the Japanese faces only with the Japanese language pack;
    // Yu Gothic UI and Meiryo stand in where ＭＳ Ｐゴシック is missing.
    font.setFamilies({u"ＭＳ Ｐゴシック"_s, u"MS PGothic"_s, u"Yu Gothic UI"_s, u"Meiryo"_s});
#else
    font.setFamilies(
        {u"MS PGothic"_s, u"ＭＳ Ｐゴシック"_s, u"IPAPGothic"_s, u"Noto Sans CJK JP"_s});
#endif
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    return font;
}

QIcon programIcon()
{
    QIcon bundled;
    for (int size : {16, 32, 48, 128})
        bundled.addFile(u":/icons/kestrion-%1.png"_s.arg(size), QSize(size, size));
    // An installed copy follows the desktop's icon theme; a build run from its folder still has
    // the bundled one.
    return QIcon::fromTheme(desktopId(), bundled);
}

void setAlwaysOnTop(QWidget *window, bool onTop)
{
    const Qt::WindowFlags flags = onTop ? window->windowFlags() | Qt::WindowStaysOnTopHint
                                        : window->windowFlags() & ~Qt::WindowStaysOnTopHint;
    // setWindowFlags() would hide and recreate the window; tell the existing one instead, so it
    // neither moves nor resizes.
    window->overrideWindowFlags(flags);
    if (QWindow *handle = window->windowHandle())
        handle->setFlags(flags);
}

void nameBox(QLabel *label, QWidget *box, const QString &spokenName)
{
    label->setBuddy(box);
    if (!spokenName.isEmpty())
        label->setAccessibleName(spokenName);
    if (auto *combo = qobject_cast<QComboBox *>(box); combo && combo->lineEdit())
        combo->lineEdit()->setAccessibleName(spokenName.isEmpty() ? label->text() : spokenName);
}

bool isLossOfFocus(const QEvent *event)
{
    if (event->type() != QEvent::FocusOut)
        return false;
    const Qt::FocusReason reason = static_cast<const QFocusEvent *>(event)->reason();
    return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
}

} // namespace platform
