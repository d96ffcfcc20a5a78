#pragma once

#include <QString>

// Blanks as a Japanese user types them: the ASCII space, and the ideographic space that the
// input method gives.
bool isBlank(QChar ch);
QString withoutSurroundingBlanks(const QString &text);
