#pragma once

#include <QString>

// Joins what the server sends into whole lines. A read may end in the middle of a line; that
// part waits for the rest, so a line cut between two reads is recognised as one. Only a bounded
// part waits: a line longer than that is never recognised, and costs nothing.
class ReceivedLines
{
public:
    static constexpr qsizetype keptCharacters = 8 * 1024;

    // The lines this read completes, with their line ends, as one block; empty when it
    // completes none.
    QString take(const QString &read);
    // A new connection starts with nothing kept.
    void clear();

private:
    QString m_partial;
    // The kept part outgrew its bound: the rest of that line is skipped.
    bool m_skippingLine = false;
};
