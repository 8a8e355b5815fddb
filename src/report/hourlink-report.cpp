// hourlink-report: the log's figures for terminals, scripts and status bars, beside the running program.
#include <QCoreApplication>
#include <QLocale>

#include <chrono>
#include <iostream>

#include "app/ProgramStart.h"
#include "platform/QtFormatSettings.h"
#include "platform/SingleInstance.h"
#include "platform/SystemClock.h"
#include "report/Report.h"

namespace {

// A program that has not answered by then is taken as busy, and the log alone is shown.
constexpr std::chrono::milliseconds kAnswerTimeout{200};

std::string LauncherFolder() {
    // The launcher's rule: $XDG_DATA_HOME/hourlink, or ~/.local/share/hourlink.
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    const QString base = dataHome.isEmpty() ? qEnvironmentVariable("HOME") + "/.local/share" : dataHome;
    return (base + "/hourlink").toStdString();
}

std::optional<hourlink::LiveState> AskLive(const std::string& dir) {
    const hourlink::SingleInstance instance = hourlink::InstanceForFolder(dir);
    hourlink::InstanceMessage request;
    request.word = hourlink::kStateRequest;
    hourlink::InstanceMessage reply;
    if (instance.Ask(request, kAnswerTimeout, reply) != hourlink::SingleInstance::Outcome::Answered) {
        return std::nullopt;
    }
    return hourlink::ReadStateReply(reply);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QLocale locale = QLocale::system();
    hourlink::SystemClock clock;
    hourlink::ReportStyle style;
    style.format = hourlink::FormatSettingsFromLocale(locale);
    for (int day = 1; day <= 7; ++day) {
        // Qt counts from Monday = 1, the report from Sunday.
        style.weekdayNames[static_cast<std::size_t>(day % 7)] = locale.dayName(day, QLocale::ShortFormat).toStdString();
    }
    // The settings file of the program installed beside this one.
    const std::string iniFile =
        hourlink::SettingsFileAtStart(QCoreApplication::applicationDirPath() + QStringLiteral("/hourlink"));
    const hourlink::ReportEnvironment env{clock, style, LauncherFolder(), iniFile, AskLive};
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    return hourlink::RunReport(args, env, std::cout, std::cerr);
}
