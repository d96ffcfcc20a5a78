#pragma once

#include <QPlainTextEdit>
#include <deque>

// A read-only log that only ever grows at its end. It stays fast however long the program runs
// and however fast text arrives: it keeps the newest lines, breaks very long lines into pieces
// (laying out one huge wrapped line would stall the whole user interface), and while it is not
// on screen it only collects what is appended, to lay it out once it is shown.
class LogView : public QPlainTextEdit
{
    Q_OBJECT
public:
    static constexpr int maximumLines = 100000;
    static constexpr int maximumLineLength = 4096;

    explicit LogView(QWidget *parent = nullptr);

    // Puts the caret at the end, appends, and scrolls the new end into view. CR LF, a lone CR
    // and a lone LF each break the line, also when a CR LF is split between two appends.
    void appendEntry(const QString &text);
    // Replaces the whole text; the caret goes to the start.
    void setLogText(const QString &text);
    // The whole text, lines joined by LF, including what was appended while hidden.
    QString logText();

    // The CR of a CR LF that the next append may complete.
    bool endsInCarriageReturn() const { return m_endsInCarriageReturn; }
    void setEndsInCarriageReturn(bool value) { m_endsInCarriageReturn = value; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct PendingText
    {
        QString text;
        qsizetype lineBreaks;
    };

    QString normalised(const QString &text);
    void insertAtEnd(const QString &text);
    void flushPending();

    bool m_endsInCarriageReturn = false;
    qsizetype m_lastLineLength = 0;
    std::deque<PendingText> m_pending;
    qsizetype m_pendingLineBreaks = 0;
};
