// CChartSerieBase: the point store of a serie (contiguous, grown in steps of 1000, kept in
// one of three orderings) and the range and visibility questions answered from it.
#pragma once

#include <vector>

#include "chart/ChartPoints.h"
#include "chart/ChartSerie.h"

template <class PointType>
class CChartSerieBase : public CChartSerie {
public:
    static constexpr unsigned kGrowthStep = 1000;

    explicit CChartSerieBase(CChartCtrl* parent);
    ~CChartSerieBase() override;

    unsigned GetPointsCount() const override { return m_uPointsCount; }
    QPoint GetPointScreenCoord(unsigned index) const override;
    // GetPointScreenCoord of the points first..last, in order (empty without both axes).
    std::vector<QPoint> GetPointsScreenCoords(unsigned first, unsigned last) const;
    // The same into pixels, whose room is kept: a redraw of thousands of points then
    // allocates nothing.
    void GetPointsScreenCoords(unsigned first, unsigned last, std::vector<QPoint>& pixels) const;
    bool GetSerieYMinMax(double& min, double& max) const override;
    bool GetSerieXMinMax(double& min, double& max) const override;
    bool GetSerieXScreenMinMax(double& min, double& max) const override;
    bool GetSerieYScreenMinMax(double& min, double& max) const override;
    bool GetVisiblePoints(unsigned& first, unsigned& last) const override;
    // This chart has no point labels and no receiver of serie mouse events.
    void DrawLabels(QPainter*) override {}
    bool OnMouseEvent(int, QPoint) override { return false; }
    void SetSeriesOrdering(int ordering) override;

    int GetSeriesOrdering() const { return m_Ordering; }
    const PointType& GetPoint(unsigned index) const { return m_pPoints[index]; }
    unsigned GetCapacity() const { return m_uCapacity; }

    // Stores one point at its place in the ordering (no redraw; AddPoints redraws).
    void AddPoint(const PointType& point);
    // Forgets every point; the axes follow and the chart is redrawn.
    void ClearSerie();

protected:
    // Grows the store to hold at least `capacity` points.
    void Reserve(unsigned capacity);

    double m_dXMinVal = 0.0;
    double m_dXMaxVal = 0.0;
    double m_dYMinVal = 0.0;
    double m_dYMaxVal = 0.0;
    std::vector<PointType> m_pPoints;  // size() is the capacity; the first count are stored
    unsigned m_uCapacity = kGrowthStep;
    unsigned m_uPointsCount = 0;
    unsigned m_uGrowBy = kGrowthStep;
    int m_Ordering = qtmchart::kXOrdering;
    unsigned m_uLastDrawnPoint = 0;
};

extern template class CChartSerieBase<SChartXYPoint>;
