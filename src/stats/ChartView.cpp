#include "stats/ChartView.h"

#include <memory>

namespace hourlink {

ChartView ConfigureChart1(TChart& chart) {
    chart.setGeometry(8, 8, 553, 297);

    ChartSettings look;
    look.Color = clSilver;
    look.Gradient.Visible = true;
    look.Gradient.Direction = TGradientDirection::gdBottomTop;
    look.Gradient.StartColor = clWhite;
    look.Gradient.EndColor = clAqua;
    look.BevelOuter = TPanelBevel::bvLowered;
    look.BevelInner = TPanelBevel::bvLowered;
    look.BevelWidth = 2;
    look.BorderWidth = 2;
    look.MarginLeft = 3;
    look.MarginTop = 4;
    look.MarginRight = 10;
    look.MarginBottom = 4;
    look.BackWallColor = clGray;
    look.LeftWallColor = 0x80FFFF;
    look.BottomWallColor = 12615808; // RGB 128, 128, 192
    look.LeftAxis.Axis = {true, clBlack};
    look.LeftAxis.Grid = {true, clMaroon, TPenStyle::psDashDot, true};
    look.BottomAxis.Axis.Visible = false;
    look.BottomAxis.Grid.Visible = false;
    look.MaxPointsPerPage = 7;
    look.View3D = true;
    look.Chart3DPercent = 15;
    look.View3DOptions.VertOffset = 3;
    chart.SetSettings(look);

    chart.Title().SetAlignment(TAlignment::taRightJustify);
    chart.Title().SetFontColor(clBlue);

    auto& giorno = chart.AddSeries(std::make_unique<TBarSeries>(12615680)); // RGB 0, 128, 192
    giorno.SetTitle("Giornaliera");
    giorno.SetShowInLegend(false);
    giorno.SetBarStyle(TBarStyle::bsRectGradient);
    TSeriesMarks hidden = giorno.Marks();
    hidden.Visible = false;
    giorno.SetMarks(hidden);

    auto& media = chart.AddSeries(std::make_unique<TLineSeries>(clRed));
    media.SetTitle("Media");
    media.SetShowInLegend(false);
    TSeriesMarks marks;
    marks.Visible = true;
    marks.Style = TSeriesMarksStyle::smsLabel;
    marks.BackColor = 0x80FFFF;
    marks.ArrowLength = 8;
    media.SetMarks(marks);
    media.SetValueFormat("#,##0.##");

    return {giorno, media};
}

} // namespace hourlink
