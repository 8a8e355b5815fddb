#include "platform/QtShell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace hourlink {

void QtShell::OpenDocument(const std::string& fileName) {
    const QString path = QFileInfo(QString::fromStdString(fileName)).absoluteFilePath();
    (void)QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace hourlink
