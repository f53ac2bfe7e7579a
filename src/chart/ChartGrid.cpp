#include "chart/ChartGrid.h"

#include <QPaintEngine>
#include <QPainter>

#include "chart/ChartAxisMath.h"
#include "chart/ChartCtrl.h"

CChartGrid::CChartGrid()
    : m_GridColor(0x808080), m_pParentCtrl(nullptr), m_bIsVisible(true), m_bIsHorizontal(true) {}

CChartGrid::~CChartGrid() = default;

void CChartGrid::RefreshCtrl() const {
    if (m_pParentCtrl != nullptr) m_pParentCtrl->RefreshCtrl();
}

void CChartGrid::SetColor(qtmchart::ColorRef color) {
    m_GridColor = color;
    RefreshCtrl();
}

void CChartGrid::SetVisible(bool visible) {
    m_bIsVisible = visible;
    RefreshCtrl();
}

void CChartGrid::AddToLayerKey(qtmchart::ChartLayerKey& key) const {
    key.Add(m_GridColor).Add(m_bIsVisible).Add(m_bIsHorizontal);
}

const QImage& CChartGrid::DotStamp(const qtmchart::ChartRect& plot) {
    // The dots depend on the line's length alone: where a line starts does not matter.
    const int length = m_bIsHorizontal ? plot.Height() : plot.Width();
    if (m_DotStamp.isNull() || m_iDotStampLength != length || m_DotStampColor != m_GridColor ||
        m_bDotStampHorizontal != m_bIsHorizontal) {
        const std::vector<bool> dots = qtmchart::GridDotPattern(m_bIsHorizontal, plot);
        const int n = static_cast<int>(dots.size());
        m_DotStamp = QImage(m_bIsHorizontal ? 1 : n, m_bIsHorizontal ? n : 1,
                            QImage::Format_ARGB32_Premultiplied);
        m_DotStamp.fill(Qt::transparent);
        const QRgb on = qtmchart::ToQColor(m_GridColor).rgb();
        for (int i = 0; i < n; ++i) {
            if (dots[static_cast<std::size_t>(i)]) {
                m_DotStamp.setPixel(m_bIsHorizontal ? 0 : i, m_bIsHorizontal ? i : 0, on);
            }
        }
        m_iDotStampLength = length;
        m_DotStampColor = m_GridColor;
        m_bDotStampHorizontal = m_bIsHorizontal;
    }
    return m_DotStamp;
}

void CChartGrid::DrawDashedLines(QPainter* dc, const qtmchart::ChartRect& plot,
                                 const std::vector<QPoint>& origins) const {
    // 3 on, 3 off through the pixels' centres. A line across a horizontal axis's grid runs
    // up from the plotting area's bottom edge, its first dash over the two rows above it;
    // one across a vertical axis's runs right from the left edge (GridDotPattern).
    QPen pen(qtmchart::ToQColor(m_GridColor), 1.0);
    pen.setCapStyle(Qt::FlatCap);
    pen.setDashPattern({3.0, 3.0});
    dc->save();
    dc->setPen(pen);
    for (const QPoint& origin : origins) {
        if (m_bIsHorizontal) {
            const qreal x = origin.x() + 0.5;
            dc->drawLine(QPointF(x, plot.bottom + 1), QPointF(x, plot.top + 1));
        } else {
            const qreal y = origin.y() + 0.5;
            dc->drawLine(QPointF(plot.left, y), QPointF(plot.right, y));
        }
    }
    dc->restore();
}

void CChartGrid::Draw(QPainter* dc, const qtmchart::ChartRect& plottingRect) {
    if (!m_bIsVisible || dc == nullptr) return;
    // The lines are already cut to the plotting area, so no clip is needed.
    const std::vector<QPoint> origins =
        qtmchart::GridLineOrigins(m_bIsHorizontal, plottingRect, m_vTickPos);
    if (origins.empty()) return;
    const QPaintEngine* engine = dc->paintEngine();
    if (engine == nullptr || engine->type() != QPaintEngine::Raster) {
        DrawDashedLines(dc, plottingRect, origins);
        return;
    }
    // On an image, one stamp of ready-made dots per line is many times faster than a
    // dashed pen. On a high-resolution image each dot fills the device pixels of its widget
    // pixel: the stamp is enlarged without smoothing.
    const QImage& stamp = DotStamp(plottingRect);
    for (const QPoint& origin : origins)
        dc->drawImage(origin, stamp);
}
