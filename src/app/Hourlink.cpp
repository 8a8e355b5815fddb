#include <QApplication>
#include <QLocale>
#include <QScreen>

#include <cstdlib>
#include <iostream>
#include <optional>

#include "app/AppIcon.h"
#include "app/InstanceRequests.h"
#include "app/Main.h"
#include "app/ProgramStart.h"
#include "platform/LinuxConnectionState.h"
#include "platform/QtDialogs.h"
#include "platform/QtFormatSettings.h"
#include "platform/QtShell.h"
#include "platform/SessionEnd.h"
#include "platform/SingleInstance.h"
#include "platform/SystemClock.h"
#include "platform/XcbImages.h"
#include "platform/tray/QtTrayPlatform.h"
#include "runtime/Errors.h"

namespace {

// How long a second start waits for the running program's answer.
constexpr std::chrono::seconds kHandOverTimeout{5};

std::string EnvironmentText(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

} // namespace

int main(int argc, char* argv[]) {
    using namespace hourlink;
    // Read before the application object exists, which takes the start-up id for itself.
    const std::string startupId = EnvironmentText("DESKTOP_STARTUP_ID");
    const std::string activationToken = EnvironmentText("XDG_ACTIVATION_TOKEN");
    auto images = std::make_optional<XcbImagesThroughSocket>();
    QApplication application(argc, argv);
    images.reset();
    QApplication::setApplicationName(QStringLiteral("hourlink"));
    QApplication::setApplicationVersion(QStringLiteral(HOURLINK_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Pellandra Ossilo"));
    QApplication::setWindowIcon(ApplicationIcon());
    // The program ends only through its main window's close. With the window hidden in the tray, a message
    // box that closes (the close question answered "No", an error box) is the last window, and must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    // One program per log: before any window, message or log, a start for a folder whose log is already
    // kept hands over to that program and ends.
    const bool minimized = StartsMinimized(QCoreApplication::arguments());
    SingleInstance instance = InstanceForWorkingFolder();
    switch (ClaimOrHandOver(instance, minimized, startupId, activationToken, kHandOverTimeout)) {
    case StartDecision::Run:
        break;
    case StartDecision::HandedOver:
        return 0;
    case StartDecision::NoAnswer:
        std::cerr << "hourlink: Hourlink already runs for the log in this folder and did not answer within "
                  << kHandOverTimeout.count() << " seconds\n";
        return 1;
    case StartDecision::Refused:
        std::cerr << "hourlink: Hourlink already runs for the log in this folder and refused the request\n";
        return 1;
    }
    InstanceRequests requests(instance);

    QtDialogs dialogs{QString::fromUtf8(kApplicationTitle)};
    LinuxConnectionState connection;
    SystemClock clock;
    QtShell shell;
    const auto trayPlatform = [&dialogs](QWidget& window) -> std::unique_ptr<TrayPlatform> {
        auto platform = std::make_unique<QtTrayPlatform>(
            &window, [&dialogs](const std::string& message) { dialogs.ShowError(ErrorBoxText(message)); });
        // Balloons shown as desktop notifications carry the program's title and icon.
        platform->setNotificationIdentity(QString::fromUtf8(kApplicationTitle), QStringLiteral(HOURLINK_APP_ID));
        return platform;
    };
    TMainForm form({dialogs, connection, clock, shell, FormatSettingsFromLocale(QLocale::system()),
                    SettingsFileAtStart(QCoreApplication::applicationFilePath()), trayPlatform});
    requests.Attach(form);

    SessionEnd sessionEnd;
    QObject::connect(&sessionEnd, &SessionEnd::Ending, &form, [&form] { form.EndSession(); });

    // Centred on the desktop when first shown.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        form.move(area.center() - QPoint(form.width() / 2, form.height() / 2));
    }
    if (minimized) {
        // As a shortcut set to run minimised: minimise-to-tray then takes it into the tray, if there is one.
        form.showMinimized();
    } else {
        form.show();
    }
    return QApplication::exec();
}
