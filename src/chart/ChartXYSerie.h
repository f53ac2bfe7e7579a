// CChartXYSerie: a serie of x/y points fed from two parallel arrays.
#pragma once

#include "chart/ChartSerieBase.h"

class CChartXYSerie : public CChartSerieBase<SChartXYPoint> {
public:
    explicit CChartXYSerie(CChartCtrl* parent);
    ~CChartXYSerie() override;

    // Appends n points (xValues[i], yValues[i]) in array order, lets the automatic axes follow
    // and draws the new points.
    void AddPoints(const double* xValues, const double* yValues, unsigned n);
    // Replaces every point by the n given ones.
    void SetPoints(const double* xValues, const double* yValues, unsigned n);
};
