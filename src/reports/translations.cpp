#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace qm5083::reports {

QString tr(const char *text)
{
    return QCoreApplication::translate("qm5083::reports", text);
}

void installTranslations(QCoreApplication &app)
{
    const QLocale locale = QLocale::system();
    if (locale.language() != QLocale::Chinese)
        return;
    // Owned by the application, so each application the program makes gets its own.
    auto *program = new QTranslator(&app);
    if (program->load(QStringLiteral(":/i18n/qm5083_zh_CN.qm")))
        QCoreApplication::installTranslator(program);
    auto *qt = new QTranslator(&app);
    if (qt->load(QStringLiteral("qtbase_zh_CN"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
}

} // namespace qm5083::reports
