// Pure arithmetic of a numeric chart axis: value/pixel maps, the 1-2-5 tick ladder, the first
// tick, tick labels, the room an axis takes and where its ticks, labels and caption go.
// No widget and no font: text extents come in as numbers.
#pragma once

#include <QLine>
#include <QPoint>
#include <QSize>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "chart/ChartRect.h"

namespace qtmchart {

// Axis positions as the control indexes its axes.
enum AxisPosition : int { kLeftAxis = 0, kBottomAxis = 1, kRightAxis = 2, kTopAxis = 3 };

constexpr bool IsHorizontalPosition(int position) {
    return position == kBottomAxis || position == kTopAxis;
}
constexpr bool IsSecondaryPosition(int position) {
    return position == kRightAxis || position == kTopAxis;
}

// What the maps need to know about one axis. For a horizontal axis start/end are the left and
// right pixels, for a vertical axis the bottom and top pixels.
struct AxisScale {
    double min = 0.0;
    double max = 0.0;
    int start = 0;
    int end = 0;
    bool horizontal = true;
    bool inverted = false;

    bool IsDegenerate() const { return max == min; }
    int Length() const { return end > start ? end - start : start - end; }
};

constexpr int kOffAxisPixel = -(1 << 30);

// Offsets beyond this are clamped: a value far outside a narrow zoom would otherwise not fit
// in an int. The bound keeps start ± offset well inside the int range.
constexpr double kMaxPixelOffset = double(1 << 28);

// floor(offset) clamped to ±kMaxPixelOffset; 0 for NaN. Clamping first gives the same result
// (the bounds are whole numbers) and lets an int conversion do the floor without a library
// call: a full redraw maps thousands of values.
inline int FloorPixelOffset(double offset) {
    if (std::isnan(offset)) return 0;
    const double c = std::clamp(offset, -kMaxPixelOffset, kMaxPixelOffset);
    const int t = static_cast<int>(c);  // toward zero
    return t > c ? t - 1 : t;
}

// Linear map; values far outside the range are clamped to a wide but safe pixel range.
// A degenerate range gives kOffAxisPixel (no pixel of the axis matches). Inline, so that a
// loop over many points compiles to plain arithmetic.
inline int ValueToScreenStandard(const AxisScale& s, double value) {
    if (s.IsDegenerate() || std::isnan(value)) return kOffAxisPixel;
    const int o = FloorPixelOffset(s.Length() * (value - s.min) / (s.max - s.min));
    if (s.horizontal) return s.inverted ? s.end - o : s.start + o;
    return s.inverted ? s.end + o : s.start - o;
}

// ValueToScreenStandard of valueAt(0) .. valueAt(count - 1), handed to store(i, pixel), with
// the same arithmetic and the scale's constants taken out of the loop.
template <class ValueAt, class Store>
void ValuesToScreenStandard(const AxisScale& s, std::size_t count, ValueAt valueAt, Store store) {
    if (s.IsDegenerate()) {
        for (std::size_t i = 0; i < count; ++i)
            store(i, kOffAxisPixel);
        return;
    }
    const double length = s.Length();
    const double min = s.min;
    const double range = s.max - s.min;
    // pixel = origin + direction * offset, the four cases of ValueToScreenStandard.
    const int origin = s.inverted ? s.end : s.start;
    const int direction = s.horizontal != s.inverted ? 1 : -1;
    // The same arithmetic as FloorPixelOffset, written with selects instead of branches so
    // the compiler can map several values at once.
    for (std::size_t i = 0; i < count; ++i) {
        const double value = valueAt(i);
        double c = length * (value - min) / range;
        c = c == c ? c : 0.0;  // an offset that is not a number (infinite bounds) is 0
        c = c < kMaxPixelOffset ? c : kMaxPixelOffset;
        c = c > -kMaxPixelOffset ? c : -kMaxPixelOffset;
        const int t = static_cast<int>(c);
        const int pixel = origin + direction * (t > c ? t - 1 : t);
        store(i, value != value ? kOffAxisPixel : pixel);
    }
}

template <class ValueAt>
void ValuesToScreenStandard(const AxisScale& s, std::size_t count, ValueAt valueAt, int* out) {
    ValuesToScreenStandard(s, count, valueAt, [out](std::size_t i, int pixel) { out[i] = pixel; });
}
// Snaps the value to the middle of its increment slot, then maps it.
int ValueToScreenDiscrete(const AxisScale& s, double value, double increment);
// The map used for drawing: the middle of the axis for a degenerate range.
int ValueToScreen(const AxisScale& s, double value, bool discrete, double increment);
double ScreenToValue(const AxisScale& s, int pixel);
// Whether a pixel lies on the axis between its start and end pixels (either order).
bool IsPixelOnAxis(const AxisScale& s, int pixel);

struct TickStep {
    double increment = 1.0;
    unsigned decimals = 0;
};

// At most one tick per this many pixels.
constexpr int kHorizontalTickSpacing = 30;
constexpr int kVerticalTickSpacing = 20;

// Next round tick increment for the scale; an axis too short for one tick keeps `previous`.
TickStep ComputeTickIncrement(const AxisScale& s, const TickStep& previous);
// The step on the 1-2-5 ladder for a raw step; false when none fits (infinite or NaN raw step).
bool TickStepForRawStep(double rawStep, TickStep& out);
// Smallest multiple of the increment that is not below the minimum.
double ComputeFirstTick(double min, double increment);
// Tick value in fixed notation with exactly `decimals` digits after the point.
QString FormatTickLabel(double value, unsigned decimals);

// Upper bound of ticks drawn on one axis; a real axis never has room for more.
constexpr int kMaxTicks = 2000;

// The range after a zoom request: at least `minZoomRange` wide.
void ZoomRange(double requestedMin, double requestedMax, double minZoomRange, double& outMin,
               double& outMax);

// Scroll bar steps and position for a visible range [min, max] over the series range
// [seriesMin, seriesMax]; 1 and 1 when either span is zero.
void ScrollbarSteps(double min, double max, double seriesMin, double seriesMax, int& steps,
                    int& position);

// The room an axis takes outside the plotting rectangle and how it bounds that rectangle.
// `largestTick` is the largest tick-label width and height, `caption` the caption's size
// (already swapped for a vertical caption). Returns the room.
int AxisRoom(bool horizontal, QSize largestTick, QSize caption);
void ClipPlotForAxis(int position, int room, QSize largestTick, const ChartRect& chart,
                     ChartRect& plot);

// The dotted grid lines (3 pixels drawn, 3 skipped) at the given tick pixels, already cut to
// the plotting rectangle; ticks outside it give no line. Lines are inclusive pixel runs.
std::vector<QLine> GridSegments(bool horizontalAxis, const ChartRect& plot,
                                const std::vector<int>& ticks);

// The same grid drawn as one stamp per line: the dots of one line, on (true) or off, from
// its top end (the vertical lines of a horizontal axis) or its left end, and the top-left
// pixel of each tick's line inside the plotting rectangle. Stamping the dots at every origin
// covers exactly the pixels of GridSegments.
std::vector<bool> GridDotPattern(bool horizontalAxis, const ChartRect& plot);
std::vector<QPoint> GridLineOrigins(bool horizontalAxis, const ChartRect& plot,
                                    const std::vector<int>& ticks);

// The 3-pixel tick mark of a tick at `tickPixel` along the axis rectangle (inclusive ends).
struct TickMark {
    QPoint from;
    QPoint to;
};
TickMark TickMarkFor(int position, const ChartRect& axisRect, int tickPixel);
// Top-left corner of a tick label of size `text` anchored at `anchorPixel`.
// `captionWidth` is the width of the axis caption (used by the left axis).
QPoint TickLabelOrigin(int position, const ChartRect& axisRect, int anchorPixel, QSize text,
                       int captionWidth);
// Top-left corner of the caption; `largestTickHeight` is used by the bottom axis.
QPoint CaptionOrigin(int position, const ChartRect& axisRect, int startPixel, int endPixel,
                     QSize caption, int largestTickHeight);

// The axis span and rectangle for one drawing pass, from the chart and plotting rectangles.
void AxisSpanAndRect(int position, const ChartRect& chart, const ChartRect& plot, int& start,
                     int& end, ChartRect& axisRect);

}  // namespace qtmchart
