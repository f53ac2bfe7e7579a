#include "chart/ChartSerieBase.h"

#include <algorithm>
#include <cmath>

#include "chart/ChartAxis.h"
#include "chart/ChartCtrl.h"

template <class PointType>
CChartSerieBase<PointType>::CChartSerieBase(CChartCtrl* parent)
    : CChartSerie(parent), m_pPoints(kGrowthStep) {}

template <class PointType>
CChartSerieBase<PointType>::~CChartSerieBase() = default;

template <class PointType>
QPoint CChartSerieBase<PointType>::GetPointScreenCoord(unsigned index) const {
    if (!m_pHorizontalAxis || !m_pVerticalAxis || index >= m_uPointsCount) return QPoint();
    const PointType& p = m_pPoints[index];
    return QPoint(m_pHorizontalAxis->ValueToScreen(p.X), m_pVerticalAxis->ValueToScreen(p.Y));
}

template <class PointType>
std::vector<QPoint> CChartSerieBase<PointType>::GetPointsScreenCoords(unsigned first,
                                                                      unsigned last) const {
    std::vector<QPoint> pixels;
    GetPointsScreenCoords(first, last, pixels);
    return pixels;
}

template <class PointType>
void CChartSerieBase<PointType>::GetPointsScreenCoords(unsigned first, unsigned last,
                                                       std::vector<QPoint>& pixels) const {
    pixels.clear();
    if (!m_pHorizontalAxis || !m_pVerticalAxis || first > last || last >= m_uPointsCount) return;
    const std::size_t n = std::size_t{last} - first + 1;
    const PointType* points = m_pPoints.data() + first;
    pixels.resize(n);
    QPoint* out = pixels.data();
    m_pHorizontalAxis->ValuesToScreenInto(
        n, [points](std::size_t i) { return points[i].X; },
        [out](std::size_t i, int pixel) { out[i].rx() = pixel; });
    m_pVerticalAxis->ValuesToScreenInto(
        n, [points](std::size_t i) { return points[i].Y; },
        [out](std::size_t i, int pixel) { out[i].ry() = pixel; });
}

template <class PointType>
bool CChartSerieBase<PointType>::GetSerieYMinMax(double& min, double& max) const {
    // Points that are all garbled readings give no range either.
    if (!m_bIsVisible || m_uPointsCount == 0 || !std::isfinite(m_dYMinVal)) return false;
    min = m_dYMinVal;
    max = m_dYMaxVal;
    return true;
}

template <class PointType>
bool CChartSerieBase<PointType>::GetSerieXMinMax(double& min, double& max) const {
    if (!m_bIsVisible || m_uPointsCount == 0 || !std::isfinite(m_dXMinVal)) return false;
    min = m_dXMinVal;
    max = m_dXMaxVal;
    return true;
}

template <class PointType>
bool CChartSerieBase<PointType>::GetSerieXScreenMinMax(double& min, double& max) const {
    if (!m_bIsVisible || m_Ordering != qtmchart::kYOrdering) return false;
    unsigned first = 0;
    unsigned last = 0;
    if (!GetVisiblePoints(first, last)) return false;
    min = max = m_pPoints[first].X;
    for (unsigned i = first + 1; i <= last; ++i) {
        min = std::min(min, m_pPoints[i].X);
        max = std::max(max, m_pPoints[i].X);
    }
    return true;
}

template <class PointType>
bool CChartSerieBase<PointType>::GetSerieYScreenMinMax(double& min, double& max) const {
    if (!m_bIsVisible || m_Ordering != qtmchart::kXOrdering) return false;
    unsigned first = 0;
    unsigned last = 0;
    if (!GetVisiblePoints(first, last)) return false;
    min = max = m_pPoints[first].Y;
    for (unsigned i = first + 1; i <= last; ++i) {
        min = std::min(min, m_pPoints[i].Y);
        max = std::max(max, m_pPoints[i].Y);
    }
    return true;
}

template <class PointType>
bool CChartSerieBase<PointType>::GetVisiblePoints(unsigned& first, unsigned& last) const {
    if (m_uPointsCount == 0) return false;
    double axisMin = 0.0;
    double axisMax = 0.0;
    if (m_Ordering == qtmchart::kXOrdering || m_Ordering == qtmchart::kYOrdering) {
        // An ordered serie is searched against the axis its key runs along; without that
        // axis nothing can be said to be visible.
        const CChartAxis* axis =
            m_Ordering == qtmchart::kXOrdering ? m_pHorizontalAxis : m_pVerticalAxis;
        if (!axis) return false;
        axis->GetMinMax(axisMin, axisMax);
    }
    return qtmchart::VisiblePointRange(m_pPoints.data(), m_uPointsCount, m_Ordering, axisMin,
                                       axisMax, first, last);
}

template <class PointType>
void CChartSerieBase<PointType>::SetSeriesOrdering(int ordering) {
    m_Ordering = ordering;
    qtmchart::SortPoints(m_pPoints.data(), m_uPointsCount, ordering);
}

template <class PointType>
void CChartSerieBase<PointType>::Reserve(unsigned capacity) {
    if (capacity <= m_uCapacity) return;
    m_pPoints.resize(capacity);
    m_uCapacity = capacity;
}

template <class PointType>
void CChartSerieBase<PointType>::AddPoint(const PointType& point) {
    if (m_uPointsCount == m_uCapacity) Reserve(m_uCapacity + m_uGrowBy);

    qtmchart::WidenRange(m_dXMinVal, m_dXMaxVal, point.X, m_uPointsCount == 0);
    qtmchart::WidenRange(m_dYMinVal, m_dYMaxVal, point.Y, m_uPointsCount == 0);

    PointType* points = m_pPoints.data();
    const std::size_t index = qtmchart::InsertionIndex(points, m_uPointsCount, point, m_Ordering);
    if (index < m_uPointsCount) {
        std::move_backward(points + index, points + m_uPointsCount, points + m_uPointsCount + 1);
    }
    points[index] = point;
    ++m_uPointsCount;
}

template <class PointType>
void CChartSerieBase<PointType>::ClearSerie() {
    m_uPointsCount = 0;
    m_uLastDrawnPoint = 0;
    m_dXMinVal = m_dXMaxVal = m_dYMinVal = m_dYMaxVal = 0.0;
    if (m_pParentCtrl) m_pParentCtrl->EnableRefresh(false);
    RefreshAutoAxes();
    RefreshParent();
    if (m_pParentCtrl) m_pParentCtrl->EnableRefresh(true);
}

template class CChartSerieBase<SChartXYPoint>;
