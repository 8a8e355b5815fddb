#pragma once

#include <functional>
#include <string>

#include "runtime/DateTime.h"
#include "runtime/FormatSettings.h"
#include "runtime/RecordFile.h"

namespace hourlink {

// The text list of recent connections shown under "elenco": four lines per logged connection that
// ended within the last six days (144 hours, not calendar days), in the order of the log.
inline constexpr const char* kNoLogText = "File datatime.dat non trovato. Nessun dato disponibile";
inline constexpr const char* kListSeparator = "-----------------------------------";
inline constexpr DateTime kListWindowDays = 6.0;

using LineSink = std::function<void(const std::string& line)>;

// Hands the list to `appendLine`, one line at a time: kNoLogText alone when there is no log; otherwise
// "Inizio: " start, "Fine  : " end, "Durata: " duration and kListSeparator for every connection whose
// end is later than now - 6 days. The log is opened read-write like every other use of it, so a
// read-only log fails before any line. A failing open or read throws EInOutError; the lines handed
// over before a failure stay with the caller, and a trailing piece shorter than a record fails with
// "Read beyond end of file" after every whole record has been listed.
void BuildConnectionList(DateTime now, const FormatSettings& format, const LineSink& appendLine);

// The four lines of one connection in the list: start, end, duration and the separator.
void AppendConnectionLines(const ConnectionRecord& record, const FormatSettings& format, const LineSink& appendLine);

} // namespace hourlink
