#include "chart/ChartAxisMath.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace qtmchart {

int ValueToScreenDiscrete(const AxisScale& s, double value, double increment) {
    if (increment == 0.0) return ValueToScreenStandard(s, value);
    // The nudge keeps a value that sits exactly on a slot boundary in its own slot.
    const double nudge = value < 0 ? -1e-10 : 1e-10;
    const double slot = std::trunc((value + nudge) / increment) * increment + increment / 2;
    return ValueToScreenStandard(s, slot);
}

int ValueToScreen(const AxisScale& s, double value, bool discrete, double increment) {
    if (s.IsDegenerate()) {
        const int half = static_cast<int>(s.Length() * 0.5);
        return s.horizontal ? s.start + half : s.start - half;
    }
    return discrete ? ValueToScreenDiscrete(s, value, increment) : ValueToScreenStandard(s, value);
}

double ScreenToValue(const AxisScale& s, int pixel) {
    // A zero-length axis has no scale; answering the minimum keeps zoom and pan finite.
    if (s.IsDegenerate() || s.Length() == 0) return s.min;
    int offset = 0;
    if (s.horizontal) {
        offset = s.inverted ? s.end - pixel : pixel - s.start;
    } else {
        offset = s.inverted ? pixel - s.end : s.start - pixel;
    }
    return static_cast<double>(offset) / s.Length() * (s.max - s.min) + s.min;
}

bool IsPixelOnAxis(const AxisScale& s, int pixel) {
    return pixel >= std::min(s.start, s.end) && pixel <= std::max(s.start, s.end);
}

bool TickStepForRawStep(double rawStep, TickStep& out) {
    if (!std::isfinite(rawStep) || rawStep <= 0.0) return false;
    const double n = std::floor(std::log10(rawStep));
    const double base = std::pow(10.0, n);
    const unsigned decimals = n < 0 ? static_cast<unsigned>(-n) : 0u;
    for (double factor : {1.0, 2.0, 5.0}) {
        if (factor * base >= rawStep) {
            out = TickStep{factor * base, decimals};
            return true;
        }
    }
    out = TickStep{10.0 * base, decimals > 0 ? decimals - 1 : 0u};
    return true;
}

TickStep ComputeTickIncrement(const AxisScale& s, const TickStep& previous) {
    if (s.IsDegenerate()) return TickStep{0.0, previous.decimals};
    const int spacing = s.horizontal ? kHorizontalTickSpacing : kVerticalTickSpacing;
    const int tickCount = std::abs((s.end - s.start) / spacing);
    // A zero tick count gives an infinite raw step: nothing fits and the old step stays.
    const double rawStep = (s.max - s.min) / static_cast<double>(tickCount);
    TickStep step;
    return TickStepForRawStep(rawStep, step) ? step : previous;
}

double ComputeFirstTick(double min, double increment) {
    if (increment == 0.0 || min == 0.0) return min;
    // Multiples are formed as k * increment rather than by repeated addition, so that the
    // result does not drift and a huge minimum cannot stall the loop. A multiple that misses
    // the minimum only by rounding (-3 * 0.1 against -0.3) counts as the minimum itself;
    // otherwise the tick at the very end of the axis would be lost.
    const double eps = std::fabs(increment) * 1e-9;
    double k = std::trunc(min / increment);
    if (!std::isfinite(k * increment)) return min;
    for (int i = 0; i < 4 && k * increment < min - eps; ++i)
        k += 1;
    for (int i = 0; i < 4 && (k - 1) * increment >= min - eps; ++i)
        k -= 1;
    const double tick = k * increment;
    return std::fabs(tick - min) <= eps ? min : tick;
}

QString FormatTickLabel(double value, unsigned decimals) {
    // Fixed notation rounded from the exact binary value, as a stream in fixed format gives it,
    // without a stream per label. The largest double has 309 digits before the point, so
    // the buffer always holds the text.
    char buffer[512];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                      static_cast<int>(std::min(decimals, 60u)));
    std::string text(buffer, result.ptr);
    // A tick reached by adding increments can land a hair below zero; "-0.0" reads as a
    // fault on a ruler, so a label that rounds to zero carries no sign.
    if (!text.empty() && text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos) {
        text.erase(0, 1);
    }
    return QString::fromStdString(text);
}

void ZoomRange(double requestedMin, double requestedMax, double minZoomRange, double& outMin,
               double& outMax) {
    outMin = requestedMin;
    outMax =
        (requestedMax - requestedMin < minZoomRange) ? requestedMin + minZoomRange : requestedMax;
}

void ScrollbarSteps(double min, double max, double seriesMin, double seriesMax, int& steps,
                    int& position) {
    const double range = max - min;
    const double seriesRange = seriesMax - seriesMin;
    if (range == 0.0 || seriesRange == 0.0) {
        steps = 1;
        position = 1;
        return;
    }
    // The bar is never shown, but its numbers must stay defined for any zoom depth.
    constexpr double kLimit = 1e9;
    const double s = std::ceil(seriesRange / (range / 10));
    const double p = (min - seriesMin) / seriesRange * s;
    steps = static_cast<int>(std::isnan(s) ? 1.0 : std::clamp(s, -kLimit, kLimit));
    position = static_cast<int>(std::isnan(p) ? 1.0 : std::clamp(p, -kLimit, kLimit));
}

int AxisRoom(bool horizontal, QSize largestTick, QSize caption) {
    return horizontal ? largestTick.height() + 6 + caption.height()
                      : largestTick.width() + 10 + caption.width();
}

void ClipPlotForAxis(int position, int room, QSize largestTick, const ChartRect& chart,
                     ChartRect& plot) {
    switch (position) {
        case kBottomAxis:
            plot.bottom = std::min(plot.bottom, chart.bottom - room);
            break;
        case kTopAxis:
            plot.top = std::max(plot.top, chart.top + room);
            break;
        case kLeftAxis:
            plot.left = std::max(plot.left, chart.left + room);
            break;
        case kRightAxis:
            plot.right = std::min(plot.right, chart.right - room);
            break;
        default:
            return;
    }
    // Half of the outermost tick label hangs past the end of the axis.
    if (IsHorizontalPosition(position)) {
        plot.right = std::min(plot.right, chart.right - largestTick.width() / 2 - 3);
    } else {
        plot.top = std::max(plot.top, chart.top + largestTick.height() / 2 + 3);
    }
}

TickMark TickMarkFor(int position, const ChartRect& axisRect, int tickPixel) {
    const int p = tickPixel;
    switch (position) {
        case kBottomAxis:
            return {QPoint(p, axisRect.top + 1), QPoint(p, axisRect.top + 3)};
        case kTopAxis:
            return {QPoint(p, axisRect.bottom - 1), QPoint(p, axisRect.bottom - 3)};
        case kLeftAxis:
            return {QPoint(axisRect.right - 1, p), QPoint(axisRect.right - 3, p)};
        default:
            return {QPoint(axisRect.left + 1, p), QPoint(axisRect.left + 3, p)};
    }
}

QPoint TickLabelOrigin(int position, const ChartRect& axisRect, int anchorPixel, QSize text,
                       int captionWidth) {
    switch (position) {
        case kBottomAxis:
            return QPoint(anchorPixel - text.width() / 2, axisRect.top + 5);
        case kTopAxis:
            return QPoint(anchorPixel - text.width() / 2, axisRect.bottom - text.height() - 5);
        case kLeftAxis:
            return QPoint(axisRect.left + captionWidth + 4, anchorPixel - text.height() / 2);
        default:
            return QPoint(axisRect.left + 6, anchorPixel - text.height() / 2);
    }
}

QPoint CaptionOrigin(int position, const ChartRect& axisRect, int startPixel, int endPixel,
                     QSize caption, int largestTickHeight) {
    const int mid = static_cast<int>(std::abs(startPixel + endPixel) * 0.5);
    switch (position) {
        case kBottomAxis:
            return QPoint(mid - caption.width() / 2, axisRect.top + largestTickHeight + 2);
        case kTopAxis:
            return QPoint(mid - caption.width() / 2, axisRect.top);
        case kLeftAxis:
            // A vertical caption runs upward from its origin, so the origin is its lower end.
            return QPoint(axisRect.left, mid + caption.height() / 2);
        default:
            return QPoint(axisRect.right - caption.width() - 2, mid + caption.height() / 2);
    }
}

void AxisSpanAndRect(int position, const ChartRect& chart, const ChartRect& plot, int& start,
                     int& end, ChartRect& axisRect) {
    axisRect = chart;
    if (IsHorizontalPosition(position)) {
        start = plot.left;
        end = plot.right;
        if (position == kBottomAxis) {
            axisRect.top = plot.bottom;
        } else {
            axisRect.bottom = plot.top;
        }
    } else {
        start = plot.bottom;
        end = plot.top;
        if (position == kLeftAxis) {
            axisRect.right = plot.left;
        } else {
            axisRect.left = plot.right;
        }
    }
}

std::vector<QLine> GridSegments(bool horizontalAxis, const ChartRect& plot,
                                const std::vector<int>& ticks) {
    std::vector<QLine> lines;
    for (int tick : ticks) {
        if (horizontalAxis) {
            if (tick < plot.left || tick >= plot.right) continue;
            // 3 pixels drawn, 3 skipped, from the bottom edge upward; the bottom edge row
            // itself lies outside the plotting area.
            for (int y = plot.bottom; y > plot.top; y -= 6) {
                const int y0 = std::min(y, plot.bottom - 1);
                const int y1 = std::max(y - 2, plot.top);
                if (y0 >= y1) lines.emplace_back(tick, y0, tick, y1);
            }
        } else {
            if (tick < plot.top || tick >= plot.bottom) continue;
            for (int x = plot.left; x < plot.right; x += 6) {
                const int x1 = std::min(x + 2, plot.right - 1);
                if (x1 >= x) lines.emplace_back(x, tick, x1, tick);
            }
        }
    }
    return lines;
}

std::vector<bool> GridDotPattern(bool horizontalAxis, const ChartRect& plot) {
    std::vector<bool> dots;
    if (horizontalAxis) {
        // Counted from the bottom edge, which lies outside the area: a pixel d rows above it
        // is on for d mod 6 in {0, 1, 2}, except that no segment starts on the top row itself.
        dots.resize(static_cast<std::size_t>(std::max(0, plot.Height())));
        for (std::size_t i = 0; i < dots.size(); ++i) {
            const int y = plot.top + static_cast<int>(i);
            const int phase = (plot.bottom - y) % 6;
            dots[i] = phase == 1 || phase == 2 || (phase == 0 && y > plot.top);
        }
    } else {
        dots.resize(static_cast<std::size_t>(std::max(0, plot.Width())));
        for (std::size_t i = 0; i < dots.size(); ++i)
            dots[i] = i % 6 < 3;
    }
    return dots;
}

std::vector<QPoint> GridLineOrigins(bool horizontalAxis, const ChartRect& plot,
                                    const std::vector<int>& ticks) {
    std::vector<QPoint> origins;
    if (plot.IsEmpty()) return origins;
    for (int tick : ticks) {
        if (horizontalAxis) {
            if (tick >= plot.left && tick < plot.right) origins.emplace_back(tick, plot.top);
        } else {
            if (tick >= plot.top && tick < plot.bottom) origins.emplace_back(plot.left, tick);
        }
    }
    return origins;
}

}  // namespace qtmchart
