#include "monitor/LiveUpdate.h"

#include <algorithm>

#include "runtime/TimeText.h"

namespace hourlink {
namespace {

// Cuts a UTF-8 text to at most `limit` characters.
std::string FirstCharacters(const std::string& text, std::size_t limit) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && count++ == limit) {
            return text.substr(0, i);
        }
    }
    return text;
}

} // namespace

void LiveUpdate(const LiveUpdateInput& input, LiveSeries& serieGiorno, LiveSeries& serieMedia, LiveTray& tray,
                const FormatSettings& format) {
    const bool built = serieGiorno.Count() >= kLiveSeriesPoints && serieMedia.Count() >= kLiveSeriesPoints;
    if (built) {
        int first = kTodayPoint;
        for (int i = 0; i < kTodayPoint; ++i) {
            if (input.touched[static_cast<std::size_t>(i)]) {
                const DateTime day = input.days[static_cast<std::size_t>(i)];
                serieGiorno.SetYValue(i, day * kHoursPerDay);
                serieGiorno.SetPointLabel(i, DurationText(day, format));
                first = std::min(first, i);
            }
        }
        serieGiorno.SetYValue(kTodayPoint, input.todayTotal * kHoursPerDay);
        serieGiorno.SetPointLabel(kTodayPoint, DurationText(input.todayTotal, format));
        double sum = 0.0;
        for (int i = 0; i < kLiveSeriesPoints; ++i) {
            sum += serieGiorno.GetYValue(i);
            if (i >= first) {
                const double count = static_cast<double>(i + 1);
                serieMedia.SetYValue(i, sum / count);
                serieMedia.SetPointLabel(i, DurationText(sum / kHoursPerDay / count, format));
            }
        }
    }
    tray.SetHint(FirstCharacters("today time is " + DurationText(input.todayTotal, format), kHintLimit));
    if (built && input.alertChecked && serieMedia.GetYValue(kTodayPoint) > input.timeLimit * kHoursPerDay) {
        tray.ShowInfoBalloon(kAlertTitle, serieMedia.GetPointLabel(kTodayPoint), 10);
    }
}

} // namespace hourlink
