#pragma once

#include <QStringList>

#include <chrono>
#include <string>

namespace hourlink {

class SingleInstance;

// The start-up's own decisions, taken before any window, message or log exists: the settings file's
// place, the start-up show command, and whether this start runs or hands over to a program already
// running for the same log.

// The only argument the program reads: "--minimized", which the launcher passes on for a start
// that is to begin in the tray.
inline constexpr const char* kMinimizedArgument = "--minimized";
[[nodiscard]] bool StartsMinimized(const QStringList& arguments);

// The settings file of this program and user, from the executable's place and the XDG folders.
[[nodiscard]] std::string SettingsFileAtStart(const QString& executablePath);

// The lock and socket of the program keeping the log in the current working folder for this user.
[[nodiscard]] SingleInstance InstanceForWorkingFolder();
// The same for the log in `folder`, for a program that looks at a log from outside its folder.
[[nodiscard]] SingleInstance InstanceForFolder(const std::string& folder);

// Run: this start keeps the log (or no lock can be had, and it runs unguarded, as it always did).
// HandedOver: a program already runs for this log and was asked to come forward (or, for a minimised
// start, left alone). NoAnswer: one runs but did not answer within the timeout. Refused: one runs and
// answered with an error (another version of the program, for one).
enum class StartDecision { Run, HandedOver, NoAnswer, Refused };
[[nodiscard]] StartDecision ClaimOrHandOver(SingleInstance& instance, bool minimized, std::string startupId,
                                            std::string activationToken, std::chrono::milliseconds timeout);

} // namespace hourlink
