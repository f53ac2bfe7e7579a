// CChartSerie: the abstract base of every data serie drawn against one horizontal and one
// vertical axis of a chart. Ids come from one counter for the whole process.
#pragma once

#include <QPoint>
#include <QString>

#include "chart/ChartColor.h"
#include "chart/ChartRect.h"

class QPainter;
class CChartCtrl;
class CChartAxis;

class CChartSerie {
public:
    using ColorRef = qtmchart::ColorRef;
    using ChartRect = qtmchart::ChartRect;

    // "No point" for the index of IsPointOnSerie.
    static constexpr unsigned kNoIndex = ~0u;

    explicit CChartSerie(CChartCtrl* parent);
    CChartSerie(const CChartSerie&) = delete;
    CChartSerie& operator=(const CChartSerie&) = delete;

    virtual unsigned GetPointsCount() const = 0;
    virtual QPoint GetPointScreenCoord(unsigned index) const = 0;
    virtual bool GetSerieYMinMax(double& min, double& max) const = 0;
    virtual bool GetSerieXMinMax(double& min, double& max) const = 0;
    virtual bool GetSerieXScreenMinMax(double& min, double& max) const = 0;
    virtual bool GetSerieYScreenMinMax(double& min, double& max) const = 0;
    // Unregisters the serie from its horizontal, then its vertical axis.
    virtual ~CChartSerie();
    virtual bool IsPointOnSerie(QPoint p, unsigned& index) const = 0;
    virtual bool GetVisiblePoints(unsigned& first, unsigned& last) const = 0;
    virtual void DrawLegend(QPainter* dc, ChartRect rect) const = 0;
    // Draws only the points added since the last drawing.
    virtual void Draw(QPainter* dc) = 0;
    virtual void DrawAll(QPainter* dc) = 0;
    virtual void DrawLabels(QPainter* dc) = 0;
    virtual bool OnMouseEvent(int event, QPoint p) = 0;
    virtual void SetSeriesOrdering(int ordering) = 0;

    unsigned GetSerieId() const { return m_uSerieId; }
    CChartCtrl* GetParent() const { return m_pParentCtrl; }

    const QString& GetName() const { return m_strSerieName; }
    void SetName(const QString& name);
    bool IsVisible() const { return m_bIsVisible; }
    void SetVisible(bool visible);
    ColorRef GetColor() const { return m_SerieColor; }
    void SetColor(ColorRef colour);

    CChartAxis* GetHorizontalAxis() const { return m_pHorizontalAxis; }
    CChartAxis* GetVerticalAxis() const { return m_pVerticalAxis; }
    // Set by the control when the serie is attached, or when an axis it used is replaced.
    void SetHorizontalAxis(CChartAxis* axis) { m_pHorizontalAxis = axis; }
    void SetVerticalAxis(CChartAxis* axis) { m_pVerticalAxis = axis; }
    void SetDrawingRect(ChartRect rect) { m_PlottingRect = rect; }
    ChartRect GetDrawingRect() const { return m_PlottingRect; }

    // Recomputes the automatic range of the horizontal and then the vertical axis, with the
    // control's refresh held so that both changes give one redraw.
    void RefreshAutoAxes();

protected:
    // The control that attaches a serie becomes its parent, whatever it was built for.
    friend class CChartCtrl;

    // The control's refresh, when the serie has a control.
    void RefreshParent() const;

    CChartCtrl* m_pParentCtrl;
    CChartAxis* m_pVerticalAxis = nullptr;
    CChartAxis* m_pHorizontalAxis = nullptr;
    QString m_strSerieName;
    bool m_bIsVisible = true;
    ColorRef m_SerieColor = 0;
    ChartRect m_PlottingRect;
    unsigned m_uSerieId;
};
