#pragma once

class QByteArray;

namespace platform {

// The number at the start of text read with a point as the decimal separator, whatever the
// user's locale; an exponent too large gives infinity.
double parseDoubleInCLocale(const QByteArray &text);

} // namespace platform
