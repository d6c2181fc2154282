#include "QuilmPrint/shared/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace QuilmPrint::Translations {

bool installQtKorean(QCoreApplication& application) {
    // Named by its object name, so a second call (the tests install it too) finds the first one.
    const QString name = QStringLiteral("QuilmPrint.qtbase_ko");
    if (application.findChild<QTranslator*>(name, Qt::FindDirectChildrenOnly))
        return true;
    auto* translator = new QTranslator(&application);
    translator->setObjectName(name);
    // Korean in every locale: the window's own texts are Korean, and Qt's words have to match them.
    if (!translator->load(QStringLiteral("qtbase_ko"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}

} // namespace QuilmPrint::Translations
