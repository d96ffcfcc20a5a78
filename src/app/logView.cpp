#include "logView.h"

#include <QTextBlock>
#include <QTextCursor>

LogView::LogView(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    // Read-only, yet a caret that the arrow keys, Ctrl+Home/End and the page keys move, with
    // Shift selecting: a screen reader reads the log line by line, and a line can be copied.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setTabChangesFocus(true);
    setUndoRedoEnabled(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

QString LogView::normalised(const QString &text)
{
    QString lines;
    lines.reserve(text.size() + text.size() / maximumLineLength + 1);
    for (const QChar ch : text) {
        const bool completesCrLf = m_endsInCarriageReturn && ch == u'\n';
        m_endsInCarriageReturn = ch == u'\r';
        if (completesCrLf)
            continue;
        if (ch == u'\r' || ch == u'\n') {
            lines += u'\n';
            m_lastLineLength = 0;
            continue;
        }
        if (m_lastLineLength == maximumLineLength) {
            lines += u'\n';
            m_lastLineLength = 0;
        }
        lines += ch;
        ++m_lastLineLength;
    }
    return lines;
}

void LogView::appendEntry(const QString &text)
{
    QString lines = normalised(text);
    if (isVisible()) {
        insertAtEnd(lines);
        return;
    }
    const qsizetype lineBreaks = lines.count(u'\n');
    m_pending.push_back({std::move(lines), lineBreaks});
    m_pendingLineBreaks += lineBreaks;
    // Text that the newest lines would push out anyway is dropped already.
    while (m_pending.size() > 1
           && m_pendingLineBreaks - m_pending.front().lineBreaks >= maximumLines) {
        m_pendingLineBreaks -= m_pending.front().lineBreaks;
        m_pending.pop_front();
    }
}

void LogView::insertAtEnd(const QString &text)
{
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    // Qt's own block limit trims a few blocks at a time and costs several times more.
    const int excess = document()->blockCount() - maximumLines;
    if (excess > 0) {
        QTextCursor oldest(document());
        oldest.setPosition(document()->findBlockByNumber(excess).position(),
                           QTextCursor::KeepAnchor);
        oldest.removeSelectedText();
    }
    moveCursor(QTextCursor::End);
    ensureCursorVisible();
}

void LogView::flushPending()
{
    if (m_pending.empty())
        return;
    if (m_pendingLineBreaks >= maximumLines)
        clear();
    QString text;
    for (const PendingText &pending : m_pending)
        text += pending.text;
    m_pending.clear();
    m_pendingLineBreaks = 0;
    insertAtEnd(text);
}

void LogView::showEvent(QShowEvent *event)
{
    QPlainTextEdit::showEvent(event);
    flushPending();
}

void LogView::setLogText(const QString &text)
{
    m_pending.clear();
    m_pendingLineBreaks = 0;
    m_endsInCarriageReturn = false;
    m_lastLineLength = 0;
    clear();
    insertAtEnd(normalised(text));
    moveCursor(QTextCursor::Start);
}

QString LogView::logText()
{
    flushPending();
    return toPlainText();
}
