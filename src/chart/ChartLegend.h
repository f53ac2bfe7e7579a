// The chart's legend: a box listing each visible, named serie with its line sample, docked on
// one side of the chart or placed freely. The window keeps it invisible.
#pragma once

#include <QFont>
#include <QSize>
#include <QString>
#include <vector>

#include "chart/ChartColor.h"
#include "chart/ChartFont.h"
#include "chart/ChartLayoutMath.h"
#include "chart/ChartRect.h"

class CChartCtrl;
class CChartSerie;
class QPainter;

class CChartLegend {
public:
    enum DockSide : int { dsDockRight = 0, dsDockLeft = 1, dsDockTop = 2, dsDockBottom = 3 };

    explicit CChartLegend(CChartCtrl* parent);
    virtual ~CChartLegend();

    void DockLegend(int side);
    // Free position: top-left corner at (left, top).
    void UndockLegend(int left, int top);
    bool IsDocked() const { return m_bDocked; }
    int GetDockSide() const { return m_DockSide; }

    void SetVisible(bool visible);
    bool IsVisible() const { return m_bIsVisible; }
    void SetHorizontalMode(bool horizontal);
    bool IsHorizontalMode() const { return m_bIsHorizontal; }
    void SetTransparent(bool transparent);
    void SetShadow(bool shadow);
    void SetShadowDepth(int depth);
    void SetBackgroundColor(qtmchart::ColorRef color);
    void SetShadowColor(qtmchart::ColorRef color);
    void SetFont(int pointSizeTenths, const QString& face);
    void SetSampleSize(int width, int height);

    // Places the legend rectangle inside `chartRect`, then moves the side of `chartRect`
    // that faces a docked legend off it (2 pixels of gap). An invisible legend, or one
    // without visible named series, gets an empty rectangle and leaves `chartRect` alone.
    void ClipArea(QPainter* dc, qtmchart::ChartRect& chartRect);
    qtmchart::ChartRect GetLegendRect() const { return m_LegendRect; }
    void Draw(QPainter* dc);
    // What the room the legend takes depends on (its drawing comes after the series, so
    // its looks do not matter here): nothing while it is hidden.
    void AddToLayerKey(qtmchart::ChartLayerKey& key) const;

private:
    std::vector<CChartSerie*> ListedSeries() const;
    std::vector<QSize> NameExtents(QPainter* dc, const std::vector<CChartSerie*>& series);
    void RefreshCtrl() const;

    CChartCtrl* m_pParentCtrl;
    qtmchart::ChartRect m_LegendRect;
    QString m_strFontName;
    int m_iFontSize;
    ChartFont m_Font;  // made from the two above; keeps the names' measurements
    bool m_bDocked;
    int m_DockSide;
    int m_iLeftPos;
    int m_iTopPos;
    bool m_bIsVisible;
    bool m_bIsTransparent;
    bool m_bIsHorizontal;
    bool m_bShadow;
    int m_iShadowDepth;
    qtmchart::ColorRef m_BackColor;
    qtmchart::ColorRef m_ShadowColor;
    int m_iSampleWidth;
    int m_iSampleHeight;
};
