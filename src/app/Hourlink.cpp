#include <QApplication>
#include <QLocale>
#include <QScreen>

#include "app/AppIcon.h"
#include "app/Main.h"
#include "platform/LinuxConnectionState.h"
#include "platform/QtDialogs.h"
#include "platform/QtFormatSettings.h"
#include "platform/QtShell.h"
#include "platform/SessionEnd.h"
#include "platform/SystemClock.h"
#include "platform/tray/QtTrayPlatform.h"
#include "runtime/Errors.h"

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
