#include "appcore/ConnectionList.h"

#include "runtime/RecordFile.h"
#include "runtime/TimeText.h"
#include "store/iodata.h"

namespace hourlink {

void AppendConnectionLines(const ConnectionRecord& record, const FormatSettings& format, const LineSink& appendLine) {
    appendLine("Inizio: " + DateTimeText(record.start, format));
    appendLine("Fine  : " + DateTimeText(record.end, format));
    appendLine("Durata: " + DurationText(record.end - record.start, format));
    appendLine(kListSeparator);
}

void BuildConnectionList(DateTime now, const FormatSettings& format, const LineSink& appendLine) {
    if (!FileExists(ConnectionLog::kFileName)) {
        appendLine(kNoLogText);
        return;
    }
    // Taken before the open, so the time spent reading a long log does not move the window.
    const DateTime limit = now - kListWindowDays;
    RecordFile log(ConnectionLog::kFileName, RecordFile::Mode::OpenExisting);
    log.ReadAll([&](const ConnectionRecord& record) {
        if (record.end > limit) {
            AppendConnectionLines(record, format, appendLine);
        }
    });
    log.Close();
}

} // namespace hourlink
