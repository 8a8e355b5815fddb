#include <memory>

#include <QEvent>
#include <QImage>
#include <QPaintEvent>
#include <QTest>

#include <gtest/gtest.h>

#include "chart/TChart.h"

namespace hourlink {
namespace {

class PaintCounter final : public QObject {
public:
    int paints = 0;
    int calls = 0; // queued calls delivered to the chart
    QRegion painted;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            painted += static_cast<QPaintEvent*>(event)->region();
        } else if (event->type() == QEvent::MetaCall) {
            ++calls;
        }
        return QObject::eventFilter(watched, event);
    }
};

class ChartWidgetTest : public ::testing::Test {
protected:
    ChartWidgetTest() {
        ChartSettings look;
        look.View3DOptions.VertOffset = 3;
        chart.SetSettings(look);
        chart.resize(553, 297);
        bars = &chart.AddSeries(std::make_unique<TBarSeries>(0xC08000));
        line = &chart.AddSeries(std::make_unique<TLineSeries>(clRed));
        Rebuild();
    }

    // The nineteen changes of one rebuild.
    void Rebuild(double scale = 1.0) {
        bars->Clear();
        for (int i = 0; i < 7; ++i) {
            bars->Add(scale * (i + 1), "1:00:00");
        }
        line->Clear();
        for (int i = 0; i < 7; ++i) {
            line->Add(scale * (i + 2) / 2.0, "0:30:00");
        }
        chart.Title().Text().Clear();
        chart.Title().Text().Add("ieri");
        chart.Title().Text().Add("oggi");
    }

    void ShowAndSettle() {
        chart.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
        QCoreApplication::processEvents();
    }

    TChart chart;
    TBarSeries* bars = nullptr;
    TLineSeries* line = nullptr;
};

TEST_F(ChartWidgetTest, NineteenChangesOfOneHandlerGiveOnePaint) {
    ShowAndSettle();
    PaintCounter counter;
    chart.installEventFilter(&counter);
    Rebuild(2.0);
    EXPECT_EQ(counter.paints, 0) << "changes only ask for a paint";
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 1);
    bars->SetYValue(6, 3.0);
    bars->SetPointLabel(6, "3:00:00");
    line->SetYValue(6, 2.0);
    line->SetPointLabel(6, "2:00:00");
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 2) << "the four changes of a live tick give one more";
}

TEST_F(ChartWidgetTest, ARebuildToTheSamePicturePaintsNothingAndATickOnlyWhatMoved) {
    ShowAndSettle();
    PaintCounter counter;
    chart.installEventFilter(&counter);
    Rebuild();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 0) << "the same figures give the same picture";
    bars->SetPointLabel(6, "1:05:00");
    line->SetYValue(6, 4.25);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ASSERT_EQ(counter.paints, 1);
    const ChartLayout layout = chart.Layout();
    EXPECT_FALSE(counter.painted.contains(QPoint(layout.xOf(0), layout.yOf(0.5) + layout.vertOffset)))
        << "the first bar stays as it was";
    EXPECT_TRUE(counter.painted.contains(layout.bottomLabels.back().box.center()));
    ASSERT_FALSE(layout.series[1].ribbons.empty());
    EXPECT_TRUE(counter.painted.contains(layout.series[1].ribbons.back().polygon.boundingRect().center()));
    EXPECT_EQ(chart.Picture(), chart.Render(chart.devicePixelRatioF()));
}

TEST_F(ChartWidgetTest, AHiddenChartLaysOutWhenShownAgain) {
    ShowAndSettle();
    chart.hide();
    PaintCounter counter;
    chart.installEventFilter(&counter);
    bars->SetYValue(6, 12.0);
    line->SetYValue(6, 4.25);
    QCoreApplication::processEvents();
    EXPECT_NE(chart.Picture(), chart.Render(chart.devicePixelRatioF())) << "nothing drawn while hidden";
    EXPECT_EQ(counter.calls, 0) << "changes to a hidden chart wake nothing";
    ShowAndSettle();
    EXPECT_EQ(chart.Picture(), chart.Render(chart.devicePixelRatioF()));
}

TEST_F(ChartWidgetTest, APaintShowsTheOffscreenPicture) {
    ShowAndSettle();
    const QImage onScreen = chart.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage picture = chart.Render();
    ASSERT_EQ(picture.size(), QSize(553, 297));
    EXPECT_EQ(onScreen, picture);
}

TEST_F(ChartWidgetTest, DragDownRightZoomsAndUpLeftUndoes) {
    const ChartLayout before = chart.Layout();
    const QPoint from(before.xOf(1), before.yOf(5) + before.vertOffset);
    const QPoint to(before.xOf(3), before.yOf(2) + before.vertOffset);
    QTest::mousePress(&chart, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(&chart, to);
    QTest::mouseRelease(&chart, Qt::LeftButton, Qt::NoModifier, to);
    ASSERT_TRUE(chart.Zoomed());
    const ChartLayout zoomed = chart.Layout();
    EXPECT_NEAR(zoomed.bottomRange.min, before.xValueAt(from.x()), 1e-9);
    EXPECT_NEAR(zoomed.bottomRange.max, before.xValueAt(to.x()), 1e-9);
    EXPECT_NEAR(zoomed.leftRange.min, 2.0, 0.05);
    EXPECT_NEAR(zoomed.leftRange.max, 5.0, 0.05);
    EXPECT_GT(zoomed.barWidth, before.barWidth) << "fewer points, wider bars";

    QTest::mousePress(&chart, Qt::LeftButton, Qt::NoModifier, to);
    QTest::mouseRelease(&chart, Qt::LeftButton, Qt::NoModifier, from);
    EXPECT_FALSE(chart.Zoomed());
    EXPECT_EQ(chart.Layout().bottomRange, before.bottomRange);
    EXPECT_EQ(chart.Layout().leftRange, before.leftRange);
}

TEST_F(ChartWidgetTest, AClickIsNoZoom) {
    const QPoint at(200, 150);
    QTest::mousePress(&chart, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(&chart, Qt::LeftButton, Qt::NoModifier, at + QPoint(2, 2));
    EXPECT_FALSE(chart.Zoomed());
}

TEST_F(ChartWidgetTest, RightDragPansBothAxes) {
    const ChartLayout before = chart.Layout();
    const double unitX = before.xOf(1) - before.xOf(0);
    QTest::mousePress(&chart, Qt::RightButton, Qt::NoModifier, QPoint(300, 150));
    QTest::mouseMove(&chart, QPoint(300 - static_cast<int>(unitX), 150));
    QTest::mouseRelease(&chart, Qt::RightButton, Qt::NoModifier, QPoint(300 - static_cast<int>(unitX), 150));
    ASSERT_TRUE(chart.Zoomed());
    const ChartLayout panned = chart.Layout();
    EXPECT_NEAR(panned.bottomRange.min, before.bottomRange.min + 1.0, 0.05) << "dragged left by one point";
    EXPECT_NEAR(panned.leftRange.min, before.leftRange.min, 1e-9);
    chart.UndoZoom();
    EXPECT_FALSE(chart.Zoomed());
}

TEST_F(ChartWidgetTest, DataChangesKeepAZoom) {
    chart.ZoomRect(QRect(QPoint(chart.Layout().xOf(0), 60), QPoint(chart.Layout().xOf(2), 200)));
    ASSERT_TRUE(chart.Zoomed());
    const AxisRange range = chart.Layout().bottomRange;
    Rebuild(3.0);
    EXPECT_EQ(chart.Layout().bottomRange, range);
}

} // namespace
} // namespace hourlink
