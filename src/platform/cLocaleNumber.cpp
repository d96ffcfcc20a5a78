#include "cLocaleNumber.h"

#include <QByteArray>
#include <cstdlib>
#include <locale.h>

namespace platform {

double parseDoubleInCLocale(const QByteArray &text)
{
#ifdef Q_OS_WIN
    static const _locale_t cLocale = _create_locale(LC_ALL, "C");
    return _strtod_l(text.constData(), nullptr, cLocale);
#else
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return strtod_l(text.constData(), nullptr, cLocale);
#endif
}

} // namespace platform
