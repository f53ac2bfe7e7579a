// Pure size and placement arithmetic of the chart's title and legend, over text extents given
// as numbers, so it is testable without a widget or a font.
#pragma once

#include <QSize>
#include <vector>

#include "chart/ChartRect.h"

namespace qtmchart {

// Legend docking sides as the legend stores them.
enum LegendSide : int { kLegendRight = 0, kLegendLeft = 1, kLegendTop = 2, kLegendBottom = 3 };

// Title: 4 pixels above the first line, 2 below each, width of the widest line + 2.
// No lines gives 0 x 0.
QSize TitleSize(const std::vector<QSize>& lineExtents);
// Top of each title line inside a title rectangle whose top is `titleTop`.
std::vector<int> TitleLineTops(int titleTop, const std::vector<QSize>& lineExtents);
// Left edge of a centred title line of the given width.
int TitleLineLeft(const ChartRect& titleRect, int textWidth);

// Legend box size over the entries' text extents; 0 x 0 when there are none.
QSize LegendSize(const std::vector<QSize>& textExtents, QSize sample, bool horizontalMode);
// The legend rectangle of size `size` inside `chart`, docked on `side` or, when not docked,
// with its top-left corner at `freeLeft`, `freeTop`. Empty size gives an empty rectangle.
ChartRect LegendRect(QSize size, const ChartRect& chart, bool docked, int side, int freeLeft,
                     int freeTop);
// The chart rectangle moved off a docked legend (unchanged for an empty or free legend).
ChartRect ChartRectBesideLegend(const ChartRect& chart, const ChartRect& legend, bool docked,
                                int side);

// One legend entry: the sample box and the top-left corner of its name.
struct LegendEntryPlace {
    ChartRect sample;
    int textLeft = 0;
    int textTop = 0;
};
std::vector<LegendEntryPlace> LegendEntryPlaces(const ChartRect& legend,
                                                const std::vector<QSize>& textExtents, QSize sample,
                                                bool horizontalMode);

}  // namespace qtmchart
