#include "report/Report.h"

#include <fstream>
#include <limits>

#include "appcore/ConnectionList.h"
#include "appcore/LimitSettings.h"
#include "runtime/Errors.h"
#include "runtime/RecordFile.h"
#include "runtime/TimeText.h"
#include "store/LogReader.h"
#include "store/iodata.h"

namespace hourlink {
namespace {

// The limit to compare with and to show: --limit, else the running program's, else the stored one. A stored
// limit is read only when the view needs one; failing to read it is an error with the program's message.
struct LimitOutcome {
    ReportLimit limit;
    std::string error;
};

LimitOutcome ChooseLimit(const ReportOptions& options, const ReportFigures& figures, const std::string& iniFile,
                         const FormatSettings& format) {
    LimitOutcome outcome;
    if (options.limit) {
        outcome.limit = ReportLimit{ReportLimit::Source::Option, options.limit, {}, {}};
        return outcome;
    }
    if (figures.live) {
        outcome.limit = ReportLimit{ReportLimit::Source::Live, figures.live->timeLimit, figures.live->limitText, {}};
        return outcome;
    }
    if (options.view != ReportView::Table && !options.alert) {
        return outcome;
    }
    outcome.limit.source = ReportLimit::Source::Settings;
    outcome.limit.iniFile = iniFile;
    if (FileExists(iniFile) && !std::ifstream(iniFile)) {
        outcome.error = "Unable to read " + iniFile;
        return outcome;
    }
    outcome.limit.text = ReadTimeLimitText(iniFile);
    try {
        outcome.limit.value = ParseTimeLimit(outcome.limit.text, format);
    } catch (const EConvertError& error) {
        outcome.error = error.what();
    }
    return outcome;
}

std::string LogPath(const std::string& dir) {
    return dir.empty() || dir.back() == '/' ? dir + ConnectionLog::kFileName : dir + "/" + ConnectionLog::kFileName;
}

} // namespace

int RunReport(const std::vector<std::string>& args, const ReportEnvironment& env, std::ostream& out,
              std::ostream& err) {
    const ParsedOptions parsed = ParseReportOptions(args);
    if (!parsed.options) {
        err << "hourlink-report: " << parsed.error << '\n' << kReportUsage;
        return ReportStatus::Usage;
    }
    const ReportOptions& options = *parsed.options;
    if (options.help) {
        out << kReportUsage;
        return ReportStatus::Done;
    }
    const std::string dir = options.dir.value_or(env.defaultDir);
    // Asked before the clock is read, so the running part reaches up to the moment the figures are taken.
    const std::optional<LiveState> live = env.askLive ? env.askLive(dir) : std::nullopt;
    const DateTime now = env.clock.Now();
    // Only the list keeps records; the other views need none of them in memory.
    const DateTime listAfter = options.view != ReportView::List ? std::numeric_limits<double>::infinity()
                                                                : options.since.value_or(now - kListWindowDays);
    const LogSnapshot snapshot = ReadLogSnapshot(LogPath(dir), ReportWindows(now), listAfter);
    const ReportFigures figures = ComputeReportFigures(snapshot, live, now, env.style.format);
    const LimitOutcome limit = ChooseLimit(options, figures, options.ini.value_or(env.defaultIni), env.style.format);

    WriteReport(out, options, figures, limit.limit, env.style);
    out.flush();

    if (!snapshot.exists) {
        err << "File not found: " << ConnectionLog::kFileName << '\n';
    }
    if (!live && options.view == ReportView::Today && options.format == ReportFormat::Text) {
        // The one line stays a time a status bar can show; the note goes beside it.
        err << "hourlink-report: the program is not running; today's time is the log's alone\n";
    }
    if (snapshot.errorCode != 0) {
        err << EInOutError::MessageFor(snapshot.errorCode) << '\n';
        return ReportStatus::Unreadable;
    }
    if (!limit.error.empty()) {
        err << limit.error << '\n';
        return ReportStatus::Unreadable;
    }
    if (options.alert) {
        const std::string average = figures.seven.averageLabels[kChartDays - 1];
        if (!limit.limit.value) {
            return ReportStatus::Done;
        }
        const std::string limitText = DurationText(*limit.limit.value, env.style.format);
        if (AboveLimit(figures, limit.limit)) {
            err << "The seven-day average " << average << " is above the limit " << limitText << '\n';
            return ReportStatus::AboveLimit;
        }
        err << "The seven-day average " << average << " is not above the limit " << limitText << '\n';
    }
    return ReportStatus::Done;
}

} // namespace hourlink
