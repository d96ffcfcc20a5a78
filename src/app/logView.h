#pragma once

#include <QPlainTextEdit>

// A read-only log that only ever grows at its end. It stays fast however long the program runs:
// it keeps the newest lines, and breaks very long lines into pieces, since laying out one huge
// wrapped line would stall the whole user interface.
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
    void setLogText(const QString &text);

    // The CR of a CR LF that the next append may complete.
    bool endsInCarriageReturn() const { return m_endsInCarriageReturn; }
    void setEndsInCarriageReturn(bool value) { m_endsInCarriageReturn = value; }

private:
    bool m_endsInCarriageReturn = false;
};
