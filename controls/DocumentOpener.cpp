#include "controls/DocumentOpener.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

bool DesktopOpener::Open(const std::string& target) {
    if (target.empty()) return false;
    QString text = QString::fromStdString(target);
    QUrl url = text.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(text) : QUrl(text);
    if (!url.isValid()) return false;
    return QDesktopServices::openUrl(url);
}
