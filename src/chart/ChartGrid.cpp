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
    // The segments are already cut to the plotting area, so no clip region is needed, and
    // one batched call keeps a dense grid cheap.
    const std::vector<QLine> lines =
        qtmchart::GridSegments(m_bIsHorizontal, plottingRect, m_vTickPos);
    if (lines.empty()) return;
    dc->save();
    dc->setPen(QPen(qtmchart::ToQColor(m_GridColor), 0));
    dc->drawLines(lines.data(), static_cast<int>(lines.size()));
    dc->restore();
}
