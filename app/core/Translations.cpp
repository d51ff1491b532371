#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

#include "app/core/Translations.h"

void LoadTranslations(QCoreApplication& app) {
    const QLocale locale;
    if (locale.language() == QLocale::C) return;
    // English needs only the program's plural forms; Qt's own texts are English.
    const bool english = locale.language() == QLocale::English;
    // Installed: <prefix>/bin/../share; in the build tree the tools sit one
    // folder deeper (build/tools/<tool>/) than the programs (build/app/).
    QString ours;
    for (const char* up : {"/..", "/../.."}) {
        ours = QDir(QCoreApplication::applicationDirPath() + QLatin1String(up) +
                    QStringLiteral("/share/corvinaport/translations"))
                   .absolutePath();
        if (QDir(ours).exists()) break;
    }
    const std::pair<QString, QString> files[] = {
        {QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)},
        {QStringLiteral("corvinaport"), ours},
    };
    for (const auto& [name, folder] : files) {
        if (english && name != QStringLiteral("corvinaport")) continue;
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(locale, name, QStringLiteral("_"), folder)) continue;
        QCoreApplication::installTranslator(translator.get());
        translator.release()->setParent(&app);
    }
}
