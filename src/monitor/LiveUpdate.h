#pragma once

#include <array>
#include <string>

#include "runtime/DateTime.h"
#include "runtime/FormatSettings.h"

namespace hourlink {

// What the live update needs of a chart series; point 6 is today.
class LiveSeries {
public:
    virtual ~LiveSeries() = default;
    [[nodiscard]] virtual int Count() const = 0;
    virtual void SetYValue(int index, double value) = 0;
    virtual void SetPointLabel(int index, const std::string& text) = 0;
    [[nodiscard]] virtual double GetYValue(int index) const = 0;
    [[nodiscard]] virtual std::string GetPointLabel(int index) const = 0;
    // The sum of the absolute values of all points.
    [[nodiscard]] virtual double TotalAbs() const = 0;
};

// What the live update needs of the tray icon.
class LiveTray {
public:
    virtual ~LiveTray() = default;
    virtual void SetHint(const std::string& hint) = 0;
    // The answer is of no interest: a balloon the notification area refuses is simply lost.
    virtual void ShowInfoBalloon(const std::string& title, const std::string& text, int timeoutSeconds) = 0;
};

inline constexpr int kLiveSeriesPoints = 7;
inline constexpr int kTodayPoint = 6;

struct LiveUpdateInput {
    DateTime todayTotal = 0.0; // today's time with the running connection
    bool alertChecked = false; // the "Alert limit" box
    DateTime timeLimit = 0.0;  // the chosen limit, a fraction of a day
    // The earlier days' values with the running connection, in days, oldest first, and which of them the
    // running connection reaches; only those bars are written. Today's bar is todayTotal.
    std::array<DateTime, kLiveSeriesPoints> days{};
    std::array<bool, kLiveSeriesPoints> touched{};
};

inline constexpr const char* kAlertTitle = "La media connessioni \xC3\xA8 superiore al limite AUP:";
inline constexpr std::size_t kHintLimit = 255;

// Keeps the bars the running connection reaches (today's always), the average points from the first of
// them on and the tray hint current while a connection runs, and warns with a balloon while the seven-day
// average is above the limit. The averages are summed bar by bar in the order a chart build sums them, so
// a live figure and a rebuilt one agree to the last bit. Without a completed chart build the
// series hold fewer than seven points; then only the hint is set.
void LiveUpdate(const LiveUpdateInput& input, LiveSeries& serieGiorno, LiveSeries& serieMedia, LiveTray& tray,
                const FormatSettings& format);

} // namespace hourlink
