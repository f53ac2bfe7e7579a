#include "chart/ChartGrid.h"

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

void CChartGrid::Draw(QPainter* dc, const qtmchart::ChartRect& plottingRect) {
    if (!m_bIsVisible || dc == nullptr) return;
    // Whole lines with a dashed cosmetic pen give the 3-on, 3-off dots far faster than one
    // short line per dot; they are already cut to the plotting area, so no clip is needed.
    const std::vector<QLine> lines = qtmchart::GridLines(m_bIsHorizontal, plottingRect, m_vTickPos);
    if (lines.empty()) return;
    dc->save();
    QPen pen(qtmchart::ToQColor(m_GridColor), 0);
    pen.setDashPattern({3.0, 3.0});
    pen.setDashOffset(qtmchart::GridDashOffset(m_bIsHorizontal));
    dc->setPen(pen);
    dc->drawLines(lines.data(), static_cast<int>(lines.size()));
    dc->restore();
}
