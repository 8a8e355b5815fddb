#include <QApplication>
#include <QLocale>
#include <QScreen>

#include "AppIcon.h"
#include "Errors.h"
#include "LinuxConnectionState.h"
#include "Main.h"
#include "QtDialogs.h"
#include "QtFormatSettings.h"
#include "QtShell.h"
#include "QtTrayPlatform.h"
#include "SessionEnd.h"
#include "SystemClock.h"

int main(int argc, char* argv[]) {
    using namespace hourlink;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("hourlink"));
    QApplication::setApplicationVersion(QStringLiteral(HOURLINK_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Pellandra Ossilo"));
    QApplication::setWindowIcon(ApplicationIcon());

    QtDialogs dialogs{QString::fromUtf8(kApplicationTitle)};
    LinuxConnectionState connection;
    SystemClock clock;
    QtShell shell;
    const auto trayPlatform = [&dialogs](QWidget& window) -> std::unique_ptr<TrayPlatform> {
        return std::make_unique<QtTrayPlatform>(
            &window, [&dialogs](const std::string& message) { dialogs.ShowError(ErrorBoxText(message)); });
    };
    TMainForm form({dialogs, connection, clock, shell, FormatSettingsFromLocale(QLocale::system()),
                    QCoreApplication::applicationFilePath().toStdString(), trayPlatform});

    SessionEnd sessionEnd;
    QObject::connect(&sessionEnd, &SessionEnd::Ending, &form, [&form] { form.EndSession(); });

    // Centred on the desktop when first shown.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        form.move(area.center() - QPoint(form.width() / 2, form.height() / 2));
    }
    form.show();
    return QApplication::exec();
}
