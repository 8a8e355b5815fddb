#include "platform/QtFormatSettings.h"

namespace hourlink {
namespace {

constexpr const char* kNumericDate = "dd/MM/yyyy";

// Keeps the day, month and year fields and the text between them. The short format of a few locales
// (the plain C locale among them) names the month or the day; those get an all-numeric date instead.
std::string ShortDatePattern(const QString& qtFormat) {
    std::string out;
    for (qsizetype i = 0; i < qtFormat.size();) {
        const QChar c = qtFormat[i];
        qsizetype run = 1;
        while (i + run < qtFormat.size() && qtFormat[i + run] == c) {
            ++run;
        }
        if (c == u'\'') {
            const qsizetype close = qtFormat.indexOf(u'\'', i + 1);
            const qsizetype end = close < 0 ? qtFormat.size() : close + 1;
            out += qtFormat.mid(i, end - i).toStdString();
            i = end;
            continue;
        }
        if (c == u'd' || c == u'M') {
            if (run > 2) {
                return kNumericDate;
            }
            out += std::string(static_cast<std::size_t>(run), static_cast<char>(c.unicode()));
        } else if (c == u'y') {
            out += run <= 2 ? "yy" : "yyyy";
        } else {
            out += QString(run, c).toStdString();
        }
        i += run;
    }
    return out.empty() ? kNumericDate : out;
}

} // namespace

FormatSettings FormatSettingsFromLocale(const QLocale& locale) {
    FormatSettings fs;
    fs.shortDateFormat = ShortDatePattern(locale.dateFormat(QLocale::ShortFormat));
    const QString time = locale.timeFormat(QLocale::ShortFormat);
    const qsizetype hour = time.indexOf(QLatin1Char('h'), 0, Qt::CaseInsensitive);
    const qsizetype minute = time.indexOf(QLatin1Char('m'));
    if (hour >= 0 && minute > hour) {
        qsizetype sepStart = hour;
        while (sepStart < minute && (time[sepStart] == u'h' || time[sepStart] == u'H')) {
            ++sepStart;
        }
        const QString sep = time.mid(sepStart, minute - sepStart).remove(QLatin1Char('\''));
        if (!sep.isEmpty()) {
            fs.timeSeparator = sep.toStdString();
        }
        fs.leadingZeroHour = hour + 1 < time.size() && time[hour + 1] == time[hour];
    }
    const qsizetype designator = time.indexOf(QLatin1Char('a'), 0, Qt::CaseInsensitive);
    fs.twelveHour = designator >= 0;
    fs.designatorFirst = fs.twelveHour && hour >= 0 && designator < hour;
    fs.amDesignator = locale.amText().toStdString();
    fs.pmDesignator = locale.pmText().toStdString();
    fs.decimalSeparator = locale.decimalPoint().toStdString();
    fs.thousandSeparator = locale.groupSeparator().toStdString();
    return fs;
}

} // namespace hourlink
