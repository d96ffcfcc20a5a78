#pragma once

#include <QString>
#include <optional>

// The rules for the measuring-time text: what counts as a number, and its normal form.
namespace minutesText {

enum class Verdict {
    Accepted,
    Empty,
    NotANumber,
    OutOfRange,
};

struct Check
{
    Verdict verdict;
    // The text the box shows afterwards: the normal form, or the default after a rejection.
    QString text;
};

constexpr qint16 maximumMinutes = 120;
QString defaultText();

Check check(const QString &typed);

// The message that explains a rejection; empty for an accepted text.
QString messageFor(Verdict verdict);

// The number a text stands for, rounded half to even, when it is one at all.
std::optional<double> roundedValue(const QString &text);

// N as the timer reads it from the box: the whole minutes, or nothing for a text that is no
// valid measuring time.
std::optional<qint16> measuringMinutes(const QString &text);

} // namespace minutesText
