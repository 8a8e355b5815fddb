#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/LiveState.h"
#include "report/ReportOutput.h"
#include "runtime/Clock.h"

namespace hourlink {

// Exit statuses of hourlink-report.
namespace ReportStatus {
inline constexpr int Done = 0;
inline constexpr int AboveLimit = 1;
inline constexpr int Usage = 2;
inline constexpr int Unreadable = 3;
} // namespace ReportStatus

// What the report takes from its surroundings, so that a test can hand in its own.
struct ReportEnvironment {
    const Clock& clock;
    ReportStyle style;
    // The launcher's folder for the log, and the settings file the installed program would use.
    std::string defaultDir;
    std::string defaultIni;
    // Asks the program that keeps the log in that folder for its live state; nullopt when none runs or
    // it does not answer in time.
    std::function<std::optional<LiveState>(const std::string& dir)> askLive;
};

// Runs hourlink-report with its arguments (without the program name) and answers its exit status.
[[nodiscard]] int RunReport(const std::vector<std::string>& args, const ReportEnvironment& env, std::ostream& out,
                            std::ostream& err);

} // namespace hourlink
