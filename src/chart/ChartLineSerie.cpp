#include "chart/ChartLineSerie.h"

#include <QPainter>
#include <algorithm>
#include <vector>

#include "chart/ChartAxis.h"
#include "chart/ChartCtrl.h"
#include "chart/ChartPixelLines.h"
#include "chart/ChartPolyline.h"

namespace {

Qt::PenStyle ToQtPenStyle(int style) {
    switch (style) {
        case 1:
            return Qt::DashLine;
        case 2:
            return Qt::DotLine;
        case 3:
            return Qt::DashDotLine;
        case 4:
            return Qt::DashDotDotLine;
        case 5:
            return Qt::NoPen;
        default:
            return Qt::SolidLine;
    }
}

// Restores the painter's clip and pen however the drawing ends.
class PainterStateGuard {
public:
    explicit PainterStateGuard(QPainter* dc) : m_dc(dc) { m_dc->save(); }
    ~PainterStateGuard() { m_dc->restore(); }
    PainterStateGuard(const PainterStateGuard&) = delete;
    PainterStateGuard& operator=(const PainterStateGuard&) = delete;

private:
    QPainter* m_dc;
};

// Moves the painter's drawing by an offset for one pass of a thin line; the painter is left
// untouched for the pass that is not moved, so a line of widget pixels goes as before.
class LineShifter {
public:
    explicit LineShifter(QPainter* dc) : m_dc(dc), m_base(dc->transform()) {}
    void To(const QPointF& offset) {
        if (offset.isNull()) {
            if (m_moved) m_dc->setTransform(m_base);
            m_moved = false;
            return;
        }
        m_dc->setTransform(QTransform(m_base).translate(offset.x(), offset.y()));
        m_moved = true;
    }

private:
    QPainter* m_dc;
    QTransform m_base;
    bool m_moved = false;
};

}  // namespace

CChartLineSerie::CChartLineSerie(CChartCtrl* parent) : CChartXYSerie(parent) {}

CChartLineSerie::~CChartLineSerie() = default;

void CChartLineSerie::SetWidth(int width) {
    m_iLineWidth = width;
    RefreshParent();
}

void CChartLineSerie::SetPenStyle(int style) {
    m_iPenStyle = style;
    RefreshParent();
}

QPen CChartLineSerie::LinePen(const QPainter* dc) const {
    QPen pen = MakePen();
    // A picture that is scaled later keeps the line as wide as the frame.
    if (qtmchart::DrawsVectors(dc)) pen.setCosmetic(false);
    return pen;
}

QPen CChartLineSerie::MakePen() const {
    QPen pen(qtmchart::ToQColor(m_SerieColor));
    pen.setWidth(m_iLineWidth < 1 ? 1 : m_iLineWidth);
    pen.setStyle(ToQtPenStyle(m_iPenStyle));
    // Thin solid lines take the raster engine's fast one-pixel path; wider ones get the
    // round ends and joins of a geometric pen so the polyline has no notches.
    if (m_iLineWidth > 1) {
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
    } else {
        pen.setCapStyle(Qt::FlatCap);
        pen.setCosmetic(true);
    }
    return pen;
}

bool CChartLineSerie::IsPointOnSerie(QPoint p, unsigned& index) const {
    index = kNoIndex;
    if (!m_bIsVisible || !m_pHorizontalAxis || !m_pVerticalAxis) return false;
    unsigned first = 0;
    unsigned last = 0;
    if (!GetVisiblePoints(first, last)) return false;
    qtmchart::WidenByOne(first, last, m_uPointsCount);
    for (unsigned i = first; i < last; ++i) {
        const QPoint a = GetPointScreenCoord(i);
        const QPoint b = GetPointScreenCoord(i + 1);
        if (!qtmchart::SegmentHit(p, a, b, 3)) continue;
        if (qtmchart::NearPixel(p, a, 5)) index = i;
        if (qtmchart::NearPixel(p, b, 5)) index = i + 1;
        return true;
    }
    return false;
}

void CChartLineSerie::DrawLegend(QPainter* dc, ChartRect rect) const {
    if (!dc) return;
    PainterStateGuard guard(dc);
    QPen pen = MakePen();
    pen.setCosmetic(false);
    dc->setPen(pen);
    const int y = (rect.top + rect.bottom) / 2;
    dc->drawLine(rect.left, y, rect.right, y);
}

void CChartLineSerie::DrawAll(QPainter* dc) {
    if (!m_bIsVisible || !dc || !m_pHorizontalAxis || !m_pVerticalAxis) return;
    unsigned first = 0;
    unsigned last = 0;
    if (!GetVisiblePoints(first, last)) return;
    qtmchart::WidenByOne(first, last, m_uPointsCount);
    if (first == last) return;

    PainterStateGuard guard(dc);
    dc->setRenderHint(QPainter::Antialiasing, false);
    dc->setClipRect(m_PlottingRect.ToQRect());
    dc->setPen(LinePen(dc));

    // Kept between drawings (the window draws a new serie every time): filling room that is
    // already there costs far less than asking the system for it again.
    thread_local std::vector<QPoint> pixels;
    GetPointsScreenCoords(first, last, pixels);
    m_uLastDrawnPoint = last;
    if (ReducesPolyline()) {
        // A long record puts many points into each pixel column; a handful per column draw
        // the same pixels, so a full redraw costs what the plotting area is wide.
        // The image drawn into; unknown (so every run keeps its end segments) when the
        // painter maps our pixels elsewhere.
        QRect whole;
        if (const QPaintDevice* device = dc->device();
            device && dc->worldTransform().isIdentity()) {
            // In our pixels, which a high-resolution image holds several device pixels of.
            const qreal ratio = device->devicePixelRatioF();
            whole = QRect(0, 0, static_cast<int>(device->width() / ratio),
                          static_cast<int>(device->height() / ratio));
        }
        pixels.resize(qtmchart::ReducePolylineColumns(pixels.data(), pixels.size(), whole));
    } else {
        // Consecutive points on one pixel add nothing to the polyline.
        pixels.erase(std::unique(pixels.begin(), pixels.end()), pixels.end());
    }
    if (pixels.size() < 2) return;
    LineShifter shift(dc);
    for (const QPointF& offset : LineOffsets(dc)) {
        shift.To(offset);
        dc->drawPolyline(pixels.data(), static_cast<int>(pixels.size()));
    }
}

std::vector<QPointF> CChartLineSerie::LineOffsets(const QPainter* dc) const {
    // A wider pen is as wide in widget pixels anyway.
    if (m_iLineWidth > 1) return {QPointF(0, 0)};
    return qtmchart::ThinLineOffsets(dc);
}

bool CChartLineSerie::ReducesPolyline() const {
    // Only the thin solid pen lights exactly the pixels of each segment: a dash pattern runs
    // along the whole path, and a wide pen's joins depend on every vertex.
    return m_bReducePolyline && m_iPenStyle == 0 && m_iLineWidth <= 1;
}

void CChartLineSerie::Draw(QPainter* dc) {
    if (!m_bIsVisible || !dc || !m_pHorizontalAxis || !m_pVerticalAxis) return;
    if (m_uPointsCount == 0 || m_uLastDrawnPoint + 1 >= m_uPointsCount) return;

    PainterStateGuard guard(dc);
    dc->setRenderHint(QPainter::Antialiasing, false);
    dc->setClipRect(m_PlottingRect.ToQRect());
    dc->setPen(LinePen(dc));
    const std::vector<QPointF> offsets = LineOffsets(dc);
    LineShifter shift(dc);
    QPoint from = GetPointScreenCoord(m_uLastDrawnPoint);
    while (m_uLastDrawnPoint + 1 < m_uPointsCount) {
        ++m_uLastDrawnPoint;
        const QPoint to = GetPointScreenCoord(m_uLastDrawnPoint);
        for (const QPointF& offset : offsets) {
            shift.To(offset);
            dc->drawLine(from, to);
        }
        from = to;
    }
}
