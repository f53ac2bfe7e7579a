#include "chart/ChartLayoutMath.h"

#include <algorithm>
#include <cstdlib>

namespace qtmchart {

QSize TitleSize(const std::vector<QSize>& lineExtents) {
    if (lineExtents.empty()) return QSize(0, 0);
    int height = 4;
    int width = 0;
    for (const QSize& e : lineExtents) {
        height += e.height() + 2;
        width = std::max(width, e.width());
    }
    return QSize(width + 2, height);
}

std::vector<int> TitleLineTops(int titleTop, const std::vector<QSize>& lineExtents) {
    std::vector<int> tops;
    int y = titleTop + 4;
    for (const QSize& e : lineExtents) {
        tops.push_back(y);
        y += e.height() + 2;
    }
    return tops;
}

int TitleLineLeft(const ChartRect& titleRect, int textWidth) {
    return titleRect.left + static_cast<int>(std::abs(titleRect.Width()) * 0.5) - textWidth / 2;
}

QSize LegendSize(const std::vector<QSize>& textExtents, QSize sample, bool horizontalMode) {
    if (textExtents.empty()) return QSize(0, 0);
    int width = 0;
    int height = 0;
    if (horizontalMode) {
        int tallest = 0;
        for (const QSize& e : textExtents) {
            width += 14 + sample.width() + e.width();
            tallest = std::max(tallest, e.height());
        }
        width -= 6;
        height = std::max(sample.height(), tallest) + 8;
    } else {
        int widest = 0;
        for (const QSize& e : textExtents) {
            height += std::max(sample.height(), e.height()) + 2;
            widest = std::max(widest, e.width());
        }
        height += 6;
        width = widest + sample.width() + 12;
    }
    return QSize(width, height);
}

ChartRect LegendRect(QSize size, const ChartRect& chart, bool docked, int side, int freeLeft,
                     int freeTop) {
    if (size.isEmpty()) return ChartRect{};
    const int w = size.width();
    const int h = size.height();
    if (!docked) return ChartRect{freeLeft, freeTop, freeLeft + w, freeTop + h + 2};
    // Beside the chart the box is centred vertically, across it horizontally.
    const int sideTop = chart.top + (chart.Height() - (h + 2)) / 2;
    const int acrossLeft = chart.left + (chart.Width() - w) / 2;
    switch (side) {
        case kLegendLeft:
            return ChartRect{chart.left + 3, sideTop, chart.left + 3 + w, sideTop + h + 2};
        case kLegendTop:
            return ChartRect{acrossLeft, chart.top + 3, acrossLeft + w, chart.top + 3 + h};
        case kLegendBottom:
            return ChartRect{acrossLeft, chart.bottom - 2 - h, acrossLeft + w, chart.bottom - 2};
        default:
            return ChartRect{chart.right - 6 - w, sideTop, chart.right - 6, sideTop + h + 2};
    }
}

ChartRect ChartRectBesideLegend(const ChartRect& chart, const ChartRect& legend, bool docked,
                                int side) {
    ChartRect r = chart;
    if (!docked || legend.IsEmpty()) return r;
    switch (side) {
        case kLegendLeft:
            r.left = legend.right + 2;
            break;
        case kLegendTop:
            r.top = legend.bottom + 2;
            break;
        case kLegendBottom:
            r.bottom = legend.top - 2;
            break;
        default:
            r.right = legend.left - 2;
            break;
    }
    return r;
}

std::vector<LegendEntryPlace> LegendEntryPlaces(const ChartRect& legend,
                                                const std::vector<QSize>& textExtents, QSize sample,
                                                bool horizontalMode) {
    std::vector<LegendEntryPlace> places;
    int x = legend.left + 2;
    int y = legend.top + 5;
    for (const QSize& e : textExtents) {
        LegendEntryPlace place;
        place.sample = ChartRect{x, y, x + sample.width(), y + sample.height()};
        place.textLeft = place.sample.right + 4;
        place.textTop = y + (sample.height() - e.height()) / 2;
        places.push_back(place);
        if (horizontalMode) {
            x += e.width() + 14 + sample.width();
        } else {
            y += std::max(sample.height(), e.height()) + 2;
        }
    }
    return places;
}

}  // namespace qtmchart
