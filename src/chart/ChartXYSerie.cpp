#include "chart/ChartXYSerie.h"

#include <QPainter>
#include <limits>

#include "chart/ChartCtrl.h"
#include "chart/ChartPoints.h"

CChartXYSerie::CChartXYSerie(CChartCtrl* parent) : CChartSerieBase<SChartXYPoint>(parent) {}

CChartXYSerie::~CChartXYSerie() = default;

void CChartXYSerie::AddPoints(const double* xValues, const double* yValues, unsigned n) {
    if (n > 0 && (!xValues || !yValues)) return;
    if (n > std::numeric_limits<unsigned>::max() - m_uPointsCount) return;  // count would wrap
    // One allocation for the whole batch instead of one per 1000 points.
    if (m_uCapacity < m_uPointsCount + n) Reserve(m_uPointsCount + n);
    if (m_Ordering == qtmchart::kNoOrdering) {
        // What AddPoint does for each point, without asking each time where it goes: at the
        // end, in the order given (the window's thousands of readings come this way).
        SChartXYPoint* points = m_pPoints.data();
        for (unsigned i = 0; i < n; ++i) {
            const unsigned at = m_uPointsCount + i;
            qtmchart::WidenRange(m_dXMinVal, m_dXMaxVal, xValues[i], at == 0);
            qtmchart::WidenRange(m_dYMinVal, m_dYMaxVal, yValues[i], at == 0);
            points[at] = SChartXYPoint{xValues[i], yValues[i]};
        }
        m_uPointsCount += n;
    } else {
        for (unsigned i = 0; i < n; ++i)
            AddPoint(SChartXYPoint{xValues[i], yValues[i]});
    }
    RefreshAutoAxes();

    if (!m_pParentCtrl) return;
    if (!m_pParentCtrl->IsRefreshEnabled()) {
        // The caller holds the refresh to redraw everything at once; drawing the new segments
        // into the old image now would be wasted, so only make sure that redraw happens.
        m_pParentCtrl->RefreshCtrl();
        return;
    }
    if (QImage* image = m_pParentCtrl->GetBackgroundImage()) {
        QPainter painter(image);
        Draw(&painter);
    }
    m_pParentCtrl->update();
}

void CChartXYSerie::SetPoints(const double* xValues, const double* yValues, unsigned n) {
    if (n > 0 && (!xValues || !yValues)) return;
    if (m_pParentCtrl) m_pParentCtrl->EnableRefresh(false);
    m_uPointsCount = 0;
    m_uLastDrawnPoint = 0;
    m_dXMinVal = m_dXMaxVal = m_dYMinVal = m_dYMaxVal = 0.0;
    AddPoints(xValues, yValues, n);
    RefreshParent();
    if (m_pParentCtrl) m_pParentCtrl->EnableRefresh(true);
}
