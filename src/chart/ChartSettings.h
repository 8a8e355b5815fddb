#pragma once

#include "chart/ChartColor.h"
#include "chart/ChartSeries.h"

namespace hourlink {

enum class TPanelBevel { bvNone, bvLowered, bvRaised };

enum class TGradientDirection {
    gdTopBottom, // StartColor at the bottom edge, EndColor at the top
    gdBottomTop, // EndColor at the bottom edge, StartColor at the top
};

struct TChartGradient {
    bool Visible = false;
    TGradientDirection Direction = TGradientDirection::gdTopBottom;
    TColor StartColor = clWhite;
    TColor EndColor = clSilver;
    bool operator==(const TChartGradient&) const = default;
};

enum class TPenStyle { psSolid, psDashDot };

struct TChartGridPen {
    bool Visible = true;
    TColor Color = clGray;
    TPenStyle Style = TPenStyle::psSolid;
    bool SmallDots = false; // every other pixel set, which wins over Style
    bool operator==(const TChartGridPen&) const = default;
};

struct TChartAxisSettings {
    TChartPen Axis;     // the axis line, 2 pixels wide
    TChartGridPen Grid; // one line at each labelled value
    bool operator==(const TChartAxisSettings&) const = default;
};

struct TView3DOptions {
    int VertOffset = 0; // everything placed in 3-D moved this many pixels down
    bool operator==(const TView3DOptions&) const = default;
};

// The look of the chart's panel, walls and axes, as a window definition stores it. The engine draws no
// legend and no ticks; the left axis carries the values, the bottom axis the point positions.
struct ChartSettings {
    TColor Color = clSilver; // the panel, seen in the border ring and where there is no gradient
    TChartGradient Gradient;
    TPanelBevel BevelOuter = TPanelBevel::bvRaised;
    TPanelBevel BevelInner = TPanelBevel::bvNone;
    int BevelWidth = 1;
    int BorderWidth = 0;
    // Percent of the panel's width (left, right) or height (top, bottom).
    int MarginLeft = 3;
    int MarginTop = 4;
    int MarginRight = 3;
    int MarginBottom = 4;
    TColor BackWallColor = clWhite;
    TColor LeftWallColor = 0x80FFFF;
    TColor BottomWallColor = clWhite;
    TChartPen WallPen;
    TChartAxisSettings LeftAxis;
    TChartAxisSettings BottomAxis;
    int MaxPointsPerPage = 0; // 0: every point on one page
    bool View3D = true;
    int Chart3DPercent = 15;
    TView3DOptions View3DOptions;
    bool operator==(const ChartSettings&) const = default;
};

} // namespace hourlink
