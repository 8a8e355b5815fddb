// Writes the main window's chart, showing the sample week the chart tests check, to a PNG file: a
// picture to look at by eye, drawn on Qt's offscreen platform.
//
// Usage: hourlink_chart1_picture <file.png>

#include <iostream>

#include <QApplication>
#include <QImage>

#include "stats/Chart1Sample.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " <file.png>\n";
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const QApplication application(argc, argv);
    hourlink::TChart chart;
    hourlink::ChartView view = hourlink::ConfigureChart1(chart);
    hourlink::testing::ShowSampleWeek(chart, view);
    if (!chart.Render().save(QString::fromLocal8Bit(argv[1]))) {
        std::cerr << "cannot write " << argv[1] << '\n';
        return 1;
    }
    return 0;
}
