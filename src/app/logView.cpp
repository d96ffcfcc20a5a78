#include "logView.h"

#include <QTextBlock>
#include <QTextCursor>

LogView::LogView(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setMaximumBlockCount(maximumLines);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

void LogView::appendEntry(const QString &text)
{
    qsizetype lineLength = document()->lastBlock().length() - 1;
    QString normalised;
    normalised.reserve(text.size() + text.size() / maximumLineLength + 1);
    for (const QChar ch : text) {
        const bool completesCrLf = m_endsInCarriageReturn && ch == u'\n';
        m_endsInCarriageReturn = ch == u'\r';
        if (completesCrLf)
            continue;
        if (ch == u'\r' || ch == u'\n') {
            normalised += u'\n';
            lineLength = 0;
            continue;
        }
        if (lineLength == maximumLineLength) {
            normalised += u'\n';
            lineLength = 0;
        }
        normalised += ch;
        ++lineLength;
    }

    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(normalised);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void LogView::setLogText(const QString &text)
{
    setPlainText(QString());
    m_endsInCarriageReturn = false;
    appendEntry(text);
    moveCursor(QTextCursor::Start);
}
