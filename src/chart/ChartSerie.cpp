#include "chart/ChartSerie.h"

#include <atomic>

#include "chart/ChartAxis.h"
#include "chart/ChartCtrl.h"

namespace {
// One counter for every serie of every chart, so ids (the draw order) follow creation.
std::atomic<unsigned> g_nextSerieId{0};
}  // namespace

CChartSerie::CChartSerie(CChartCtrl* parent) : m_pParentCtrl(parent), m_uSerieId(g_nextSerieId++) {}

CChartSerie::~CChartSerie() {
    if (m_pHorizontalAxis) m_pHorizontalAxis->UnregisterSerie(this);
    if (m_pVerticalAxis) m_pVerticalAxis->UnregisterSerie(this);
}

void CChartSerie::SetName(const QString& name) {
    m_strSerieName = name;
    RefreshParent();
}

void CChartSerie::SetVisible(bool visible) {
    m_bIsVisible = visible;
    RefreshParent();
}

void CChartSerie::SetColor(ColorRef colour) {
    m_SerieColor = colour;
    RefreshParent();
}

void CChartSerie::RefreshAutoAxes() {
    if (m_pParentCtrl) m_pParentCtrl->EnableRefresh(false);
    if (m_pHorizontalAxis) m_pHorizontalAxis->RefreshAutoAxis();
    if (m_pVerticalAxis) m_pVerticalAxis->RefreshAutoAxis();
    if (m_pParentCtrl) m_pParentCtrl->EnableRefresh(true);
}

void CChartSerie::RefreshParent() const {
    if (m_pParentCtrl) m_pParentCtrl->RefreshCtrl();
}
