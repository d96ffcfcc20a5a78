#include "qtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

using namespace Qt::StringLiterals;

bool installQtTranslation(QCoreApplication &app)
{
    const QString folders[] = {QCoreApplication::applicationDirPath() + u"/translations"_s,
                               QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    for (const QString &folder : folders) {
        auto translator = std::make_unique<QTranslator>();
        if (translator->load(u"qtbase_ja"_s, folder)) {
            translator->setParent(&app);
            return QCoreApplication::installTranslator(translator.release());
        }
    }
    return false;
}
