#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

#include "app/Translations.h"

void LoadTranslations(QCoreApplication& app) {
    const QLocale locale;
    if (locale.language() == QLocale::C || locale.language() == QLocale::English) return;
    const QString ours = QDir(QCoreApplication::applicationDirPath() +
                              QStringLiteral("/../share/corvinaport/translations"))
                             .absolutePath();
    const std::pair<QString, QString> files[] = {
        {QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)},
        {QStringLiteral("corvinaport"), ours},
    };
    for (const auto& [name, folder] : files) {
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(locale, name, QStringLiteral("_"), folder)) continue;
        QCoreApplication::installTranslator(translator.get());
        translator.release()->setParent(&app);
    }
}
