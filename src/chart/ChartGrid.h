// The dotted grid of one axis: one line across the plotting area at every tick the axis drew.
#pragma once

#include <QImage>
#include <vector>

#include "chart/ChartColor.h"
#include "chart/ChartLayerKey.h"
#include "chart/ChartRect.h"

class CChartCtrl;
class QPainter;

class CChartGrid {
public:
    CChartGrid();
    virtual ~CChartGrid();

    void SetParent(CChartCtrl* parent) { m_pParentCtrl = parent; }
    void SetHorizontal(bool horizontal) { m_bIsHorizontal = horizontal; }
    bool IsHorizontal() const { return m_bIsHorizontal; }

    void SetColor(qtmchart::ColorRef color);
    qtmchart::ColorRef GetColor() const { return m_GridColor; }
    void SetVisible(bool visible);
    bool IsVisible() const { return m_bIsVisible; }

    void ClearTicks() { m_vTickPos.clear(); }
    void AddTick(int pixel) { m_vTickPos.push_back(pixel); }
    const std::vector<int>& GetTicks() const { return m_vTickPos; }

    // Colour and visibility; the tick positions follow from the axis.
    void AddToLayerKey(qtmchart::ChartLayerKey& key) const;

    // Dotted lines (3 pixels on, 3 off) across `plottingRect` at every tick inside it.
    void Draw(QPainter* dc, const qtmchart::ChartRect& plottingRect);

private:
    void RefreshCtrl() const;
    // The dots of one line across the plotting rectangle, made again only when the length,
    // orientation or colour changes.
    const QImage& DotStamp(const qtmchart::ChartRect& plottingRect);
    // The dots as dashed lines over the same pixels, for a device that is no image (a
    // picture scaled later).
    void DrawDashedLines(QPainter* dc, const qtmchart::ChartRect& plottingRect,
                         const std::vector<QPoint>& origins) const;

    qtmchart::ColorRef m_GridColor;
    CChartCtrl* m_pParentCtrl;
    bool m_bIsVisible;
    std::vector<int> m_vTickPos;
    bool m_bIsHorizontal;
    QImage m_DotStamp;
    int m_iDotStampLength = 0;
    qtmchart::ColorRef m_DotStampColor = 0;
    bool m_bDotStampHorizontal = true;
};
