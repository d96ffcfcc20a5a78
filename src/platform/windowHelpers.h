#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QRect>

class QEvent;
class QLabel;
class QWidget;

namespace platform {

// Layouts are written in twips, 15 to a pixel at 96 dpi; Qt's high-DPI scaling does the rest.
constexpr int twipsToPixels(int twips)
{
    return (twips + 7) / 15;
}
QRect twipsRect(int left, int top, int width, int height);
void placeInTwips(QWidget *widget, int left, int top, int width, int height);

// The classic system colour indices the layout refers to.
constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_MENU = 4;
constexpr int COLOR_WINDOW = 5;
QColor systemColour(int index);
void setBackgroundColour(QWidget *widget, int systemColourIndex);

// The Japanese UI face, with fallbacks the system ships.
QFont japaneseFont(qreal pointSize);

// The name of the installed desktop entry, metadata and theme icon.
inline QString desktopId()
{
    return QStringLiteral("org.kestrion.Kestrion");
}
QIcon programIcon();

void setAlwaysOnTop(QWidget *window, bool onTop);

// Links a label to its box, so a screen reader speaks the label as the box's name; spokenName
// replaces a label text that reads badly aloud. The text part of an editable combo box, which
// is what holds the focus, gets the name too.
void nameBox(QLabel *label, QWidget *box, const QString &spokenName = QString());

// The focus leaving for another control of the same window. Opening a drop-down list or
// switching to another window moves Qt's focus too, but is no change of control.
bool isLossOfFocus(const QEvent *event);

} // namespace platform
