#include "app/ProgramStart.h"

#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include <filesystem>
#include <system_error>

#include "appcore/SettingsPlace.h"
#include "platform/SingleInstance.h"

namespace hourlink {
namespace {

// Between two tries to reach a program that holds the lock but does not listen yet (it is starting).
constexpr int kRetryPauseMs = 20;

std::string Environment(const char* name) {
    return qEnvironmentVariable(name).toStdString();
}

} // namespace

bool StartsMinimized(const QStringList& arguments) {
    return arguments.mid(1).contains(QLatin1String(kMinimizedArgument));
}

std::string SettingsFileAtStart(const QString& executablePath) {
    const SettingsPlaceInput input{executablePath.toStdString(),
                                   {"/usr", "/opt", HOURLINK_INSTALL_PREFIX},
                                   Environment("XDG_CONFIG_HOME"),
                                   Environment("HOME")};
    return PlaceIniFile(input, PosixFileAccess());
}

SingleInstance InstanceForWorkingFolder() {
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    return InstanceForFolder(error ? QDir::currentPath().toStdString() : current.string());
}

SingleInstance InstanceForFolder(const std::string& folderPath) {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::canonical(folderPath, error);
    if (error) {
        folder = QDir(QString::fromStdString(folderPath)).absolutePath().toStdString();
    }
    const QString name = QString::fromStdString(InstanceName(static_cast<std::uint32_t>(::getuid()), folder.string()));
    return SingleInstance(SingleInstance::Folder(qEnvironmentVariable("XDG_RUNTIME_DIR"), name), name);
}

StartDecision ClaimOrHandOver(SingleInstance& instance, bool minimized, std::string startupId,
                              std::string activationToken, std::chrono::milliseconds timeout) {
    InstanceMessage raise;
    raise.word = kRaiseRequest;
    if (!startupId.empty()) {
        raise.fields[kStartupIdField] = std::move(startupId);
    }
    if (!activationToken.empty()) {
        raise.fields[kActivationTokenField] = std::move(activationToken);
    }
    QElapsedTimer clock;
    clock.start();
    while (true) {
        switch (instance.TryClaim()) {
        case SingleInstance::Claim::First:
        case SingleInstance::Claim::Unguarded:
            return StartDecision::Run;
        case SingleInstance::Claim::Running:
            break;
        }
        if (minimized) {
            // An autostart while the program already runs: it stays as it is.
            return StartDecision::HandedOver;
        }
        const auto left = timeout - std::chrono::milliseconds(clock.elapsed());
        if (left <= std::chrono::milliseconds(0)) {
            return StartDecision::NoAnswer;
        }
        InstanceMessage reply;
        switch (instance.Ask(raise, left, reply)) {
        case SingleInstance::Outcome::Answered:
            return reply.word == "ok" ? StartDecision::HandedOver : StartDecision::Refused;
        case SingleInstance::Outcome::NoAnswer:
            return StartDecision::NoAnswer;
        case SingleInstance::Outcome::Unreachable:
            // Starting (the lock is taken before the socket listens) or ending: try again, maybe for the lock.
            QThread::msleep(kRetryPauseMs);
            break;
        }
    }
}

} // namespace hourlink
