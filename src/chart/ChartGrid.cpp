#include "chart/ChartGrid.h"

#include <QPaintEngine>
#include <QPainter>
#include <algorithm>

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

void CChartGrid::DrawDotRuns(QPainter* dc, const qtmchart::ChartRect& plot,
                             const std::vector<QPoint>& origins) const {
    const std::vector<bool> dots = qtmchart::GridDotPattern(m_bIsHorizontal, plot);
    const QColor colour = qtmchart::ToQColor(m_GridColor);
    const int n = static_cast<int>(dots.size());
    for (const QPoint& origin : origins) {
        for (int i = 0; i < n;) {
            if (!dots[static_cast<std::size_t>(i)]) {
                ++i;
                continue;
            }
            int end = i + 1;
            while (end < n && dots[static_cast<std::size_t>(end)])
                ++end;
            if (m_bIsHorizontal) {
                dc->fillRect(origin.x(), origin.y() + i, 1, end - i, colour);
            } else {
                dc->fillRect(origin.x() + i, origin.y(), end - i, 1, colour);
            }
            i = end;
        }
    }
}

void CChartGrid::Draw(QPainter* dc, const qtmchart::ChartRect& plottingRect) {
    if (!m_bIsVisible || dc == nullptr) return;
    // The lines are already cut to the plotting area, so no clip is needed.
    const std::vector<QPoint> origins =
        qtmchart::GridLineOrigins(m_bIsHorizontal, plottingRect, m_vTickPos);
    if (origins.empty()) return;
    const QPaintEngine* engine = dc->paintEngine();
    if (engine == nullptr || engine->type() != QPaintEngine::Raster) {
        DrawDotRuns(dc, plottingRect, origins);
        return;
    }
    // On an image, one stamp of ready-made dots per line is many times faster than a
    // dashed pen. On a high-resolution image each dot fills the device pixels of its widget
    // pixel: the stamp is enlarged without smoothing.
    const QImage& stamp = DotStamp(plottingRect);
    for (const QPoint& origin : origins)
        dc->drawImage(origin, stamp);
}
