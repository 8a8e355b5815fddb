#include "monitor/LiveUpdate.h"

#include <cmath>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "runtime/Errors.h"

namespace hourlink {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class VectorSeries final : public LiveSeries {
public:
    explicit VectorSeries(std::vector<double> values) : values(std::move(values)), labels(this->values.size()) {}
    int Count() const override { return static_cast<int>(values.size()); }
    void SetYValue(int i, double v) override { values.at(static_cast<std::size_t>(i)) = v; }
    void SetPointLabel(int i, const std::string& t) override { labels.at(static_cast<std::size_t>(i)) = t; }
    double GetYValue(int i) const override { return values.at(static_cast<std::size_t>(i)); }
    std::string GetPointLabel(int i) const override { return labels.at(static_cast<std::size_t>(i)); }
    double TotalAbs() const override {
        double sum = 0;
        for (double v : values) {
            sum += std::fabs(v);
        }
        return sum;
    }
    std::vector<double> values;
    std::vector<std::string> labels;
};

class RecordingTray final : public LiveTray {
public:
    void SetHint(const std::string& hint) override { hints.push_back(hint); }
    void ShowInfoBalloon(const std::string& title, const std::string& text, int timeout) override {
        balloons.push_back(title + "|" + text + "|" + std::to_string(timeout));
    }
    std::vector<std::string> hints;
    std::vector<std::string> balloons;
};

constexpr double kHour = 1.0 / 24.0;

class LiveUpdateTest : public ::testing::Test {
protected:
    VectorSeries m_giorno{{0, 0, 0, 0, 0, 0, 0}};
    VectorSeries m_media{{0, 0, 0, 0, 0, 0, 0}};
    RecordingTray m_tray;
    FormatSettings m_format;
    LiveUpdateInput m_input{0.0, true, kHour}; // "AUP 1"

    void Run() { LiveUpdate(m_input, m_giorno, m_media, m_tray, m_format); }
};

TEST_F(LiveUpdateTest, WritesTodaysBarTheAverageAndTheHint) {
    m_giorno.values = {1, 2, 3, 4, 5, 6, 0};
    m_input.todayTotal = 7 * kHour;
    m_input.alertChecked = false;
    Run();
    EXPECT_DOUBLE_EQ(m_giorno.values[6], 7.0);
    EXPECT_EQ(m_giorno.labels[6], "7:00:00");
    EXPECT_DOUBLE_EQ(m_media.values[6], 4.0);
    EXPECT_EQ(m_media.labels[6], "4:00:00");
    EXPECT_THAT(m_tray.hints, ElementsAre("today time is 7:00:00"));
    EXPECT_THAT(m_media.values, ElementsAre(0, 0, 0, 0, 0, 0, 4.0)) << "points 0 to 5 stay as they are";
}

TEST_F(LiveUpdateTest, AnAverageExactlyAtTheLimitRaisesNoBalloonAndOneAboveRaisesOneEveryTick) {
    m_input.todayTotal = 7 * kHour; // the average of 7 hours over 7 days is the limit of 1 hour
    Run();
    EXPECT_THAT(m_tray.balloons, IsEmpty());
    m_input.todayTotal = 7 * kHour + 7.0 / 86400.0; // one second more on average
    Run();
    Run();
    EXPECT_THAT(m_tray.balloons, ElementsAre("La media connessioni \xC3\xA8 superiore al limite AUP:|1:00:01|10",
                                             "La media connessioni \xC3\xA8 superiore al limite AUP:|1:00:01|10"));
}

TEST_F(LiveUpdateTest, WithTheAlertUncheckedNoBalloonWhateverTheAverage) {
    m_input.todayTotal = 20 * kHour;
    m_input.alertChecked = false;
    Run();
    EXPECT_THAT(m_tray.balloons, IsEmpty());
}

TEST_F(LiveUpdateTest, WithoutABuiltChartOnlyTheHintIsSet) {
    m_giorno.values.resize(3);
    m_giorno.labels.resize(3);
    m_media.values.clear();
    m_media.labels.clear();
    m_input.todayTotal = 20 * kHour;
    Run();
    EXPECT_THAT(m_tray.hints, ElementsAre("today time is 20:00:00"));
    EXPECT_THAT(m_tray.balloons, IsEmpty());
    EXPECT_THAT(m_giorno.values, ElementsAre(0, 0, 0));
}

TEST_F(LiveUpdateTest, ALimitOfZeroAfterAFailedStartUpWarnsAsSoonAsThereIsTime) {
    m_input.timeLimit = 0.0;
    m_input.todayTotal = 1.0 / 86400.0;
    Run();
    EXPECT_EQ(m_tray.balloons.size(), 1u);
}

} // namespace
} // namespace hourlink
