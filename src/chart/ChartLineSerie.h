// CChartLineSerie: draws a serie as one polyline through its points.
#pragma once

#include <QPen>
#include <QPointF>
#include <vector>

#include "chart/ChartXYSerie.h"

class CChartLineSerie : public CChartXYSerie {
public:
    explicit CChartLineSerie(CChartCtrl* parent);
    ~CChartLineSerie() override;

    bool IsPointOnSerie(QPoint p, unsigned& index) const override;
    void DrawLegend(QPainter* dc, ChartRect rect) const override;
    void Draw(QPainter* dc) override;
    void DrawAll(QPainter* dc) override;

    int GetWidth() const { return m_iLineWidth; }
    void SetWidth(int width);
    // Windows pen styles: 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot.
    int GetPenStyle() const { return m_iPenStyle; }
    void SetPenStyle(int style);
    // Whether a full redraw reduces the polyline to a few points per pixel column (on by
    // default; the drawn pixels are the same either way, so only a comparison turns it off).
    void SetPolylineReduction(bool reduce) { m_bReducePolyline = reduce; }

private:
    QPen MakePen() const;
    // MakePen for the device drawn on.
    QPen LinePen(const QPainter* dc) const;
    // Where the line is drawn again so that it is as wide in widget pixels as at 1x.
    std::vector<QPointF> LineOffsets(const QPainter* dc) const;
    bool ReducesPolyline() const;

    int m_iLineWidth = 1;
    int m_iPenStyle = 0;
    bool m_bReducePolyline = true;
};
