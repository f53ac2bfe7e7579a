// Base of the chart's axes: maps values to pixels along one edge of the plotting area, picks
// its range (fixed or from its series), draws line, ticks, labels, caption and grid, and
// answers the control's zoom, pan and scroll requests.
#pragma once

#include <QFont>
#include <QPointer>
#include <QSize>
#include <QString>
#include <cstddef>
#include <list>

#include "chart/ChartAxisMath.h"
#include "chart/ChartColor.h"
#include "chart/ChartFont.h"
#include "chart/ChartRect.h"

class CChartCtrl;
class CChartSerie;
class CChartGrid;
class CChartAxisLabel;
class CChartScrollBar;
class QPainter;

class CChartAxis {
public:
    // Automatic range modes.
    enum EAutoMode : int { NotAutomatic = 0, FullAutomatic = 1, ScreenAutomatic = 2 };

    CChartAxis();
    virtual ~CChartAxis();
    CChartAxis(const CChartAxis&) = delete;
    CChartAxis& operator=(const CChartAxis&) = delete;

    // Slot-ordered virtual operations.
    virtual void SetDiscrete(bool discrete);
    virtual double ScreenToValue(int screenVal) const;
    virtual double GetFirstTickValue() const = 0;
    virtual bool GetNextTickValue(double current, double& next) const = 0;
    virtual int GetTickPos(double value) const = 0;
    virtual int ValueToScreenDiscrete(double value) const = 0;
    virtual int ValueToScreenStandard(double value) const;
    virtual QString GetTickLabel(double value) const = 0;
    virtual void RefreshTickIncrement() = 0;
    virtual void RefreshFirstTick() = 0;
    virtual void GetScrollbarSteps(int& steps, int& position) const;
    virtual void ScrollBy(int fromPosition, int toPosition, bool reverse);
    virtual void PanAxis(int startPixel, int endPixel);
    virtual void SetZoomMinMax(double minimum, double maximum);
    // Everything the axis's line, ticks, labels, caption and grid depend on besides the
    // chart's size: its range, looks and fixed settings. A derived axis adds its own.
    virtual void AddToLayerKey(qtmchart::ChartLayerKey& key) const;

    // The map used for drawing series and labels (middle of the axis for a degenerate range).
    int ValueToScreen(double value) const;
    // ValueToScreen of valueAt(0) .. valueAt(count - 1) into out. The scale is read once and
    // the standard map inlined, so a full redraw of thousands of points costs little more
    // than their arithmetic.
    template <class ValueAt>
    void ValuesToScreen(std::size_t count, ValueAt valueAt, int* out) const;
    // The same, each pixel handed to store(i, pixel).
    template <class ValueAt, class Store>
    void ValuesToScreenInto(std::size_t count, ValueAt valueAt, Store store) const;

    // Attachment, called by CChartCtrl::AttachCustomAxis with the axis position (0..3);
    // creates the hidden scroll bar as a child of the control's widget.
    void AttachToControl(CChartCtrl* parent, int position);
    CChartCtrl* GetParent() const { return m_pParentCtrl; }

    // Range.
    void SetMinMax(double minimum, double maximum);
    void GetMinMax(double& minimum, double& maximum) const;
    double GetMin() const { return m_MinValue; }
    double GetMax() const { return m_MaxValue; }
    // Saved (un-zoomed) range, restored by UndoZoom.
    void GetSavedMinMax(double& minimum, double& maximum) const;
    void UndoZoom();
    void SetAutomatic(bool automatic = true);
    void SetAutomaticMode(int mode);
    int GetAutomaticMode() const { return m_AutoMode; }
    bool IsAutomatic() const { return m_AutoMode != NotAutomatic; }
    void RefreshAutoAxis();
    // Range of the series along this axis; false when no serie gives one (0 and 0 then).
    bool GetSeriesMinMax(double& minimum, double& maximum) const;
    bool GetSeriesScreenMinMax(double& minimum, double& maximum) const;

    // Appearance.
    void SetVisible(bool visible);
    bool IsVisible() const { return m_bIsVisible; }
    void SetInverted(bool inverted);
    bool IsInverted() const { return m_bIsInverted; }
    bool IsHorizontal() const { return m_bIsHorizontal; }
    bool IsSecondary() const { return m_bIsSecondary; }
    bool IsDiscrete() const { return m_bDiscrete; }
    void SetAutoTicks(bool automatic) { m_bAutoTicks = automatic; }
    bool IsAutoTicks() const { return m_bAutoTicks; }
    void SetTickLabelFont(int pointSizeTenths, const QString& face);
    void SetTextColor(qtmchart::ColorRef color);
    qtmchart::ColorRef GetTextColor() const { return m_TextColor; }
    void SetAxisColor(qtmchart::ColorRef color);
    qtmchart::ColorRef GetAxisColor() const { return m_AxisColor; }
    void SetMarginSize(bool automatic, int margin);
    int GetMarginSize() const { return m_iMarginSize; }
    void EnableZoom(bool enable) { m_bZoomEnabled = enable; }
    bool IsZoomEnabled() const { return m_bZoomEnabled; }
    void SetZoomLimit(double limit) { m_dZoomLimit = limit; }
    double GetZoomLimit() const { return m_dZoomLimit; }

    CChartAxisLabel* GetLabel() const { return m_pAxisLabel; }
    CChartGrid* GetGrid() const { return m_pAxisGrid; }
    CChartScrollBar* GetScrollBar() const;

    // Series drawn against this axis (not owned, no duplicates).
    void RegisterSerie(CChartSerie* serie);
    void UnregisterSerie(CChartSerie* serie);
    const std::list<CChartSerie*>& GetRegisteredSeries() const { return m_vSeries; }

    // One drawing pass, called by the control: span and rectangle from the chart and
    // plotting rectangles, then ClipMargin (first pass) or Draw (second pass).
    void SetAxisSize(const qtmchart::ChartRect& chartRect, const qtmchart::ChartRect& plottingRect);
    void SetStartEndPixels(int startPixel, int endPixel);
    void SetAxisRect(const qtmchart::ChartRect& rect) { m_AxisRect = rect; }
    int GetStartPixel() const { return m_StartPos; }
    int GetEndPixel() const { return m_EndPos; }
    qtmchart::ChartRect GetAxisRect() const { return m_AxisRect; }
    // Bounds `plottingRect` inside `chartRect` by the room this axis needs; returns the room.
    int ClipMargin(const qtmchart::ChartRect& chartRect, qtmchart::ChartRect& plottingRect,
                   QPainter* dc);
    void Draw(QPainter* dc);

    // Keeps the hidden scroll bar in step with the range and the plotting rectangle.
    void RefreshScrollBar();
    void UpdateScrollBarPos();

    // Position derived from orientation and side: 0 left, 1 bottom, 2 right, 3 top.
    int GetPosition() const;
    qtmchart::AxisScale Scale() const;

protected:
    // Largest tick-label width and height on the axis, in the tick font.
    QSize GetLargestTick(QPainter* dc);
    void DrawTick(QPainter* dc, double value, int captionWidth);
    bool IsLabelInAxis(double value) const;
    void RefreshCtrl() const;

    CChartCtrl* m_pParentCtrl;
    bool m_bIsHorizontal;
    bool m_bIsInverted;
    int m_AutoMode;
    bool m_bIsVisible;
    bool m_bIsSecondary;
    double m_MaxValue;
    double m_MinValue;
    double m_UnzoomMin;
    double m_UnzoomMax;
    bool m_bAutoTicks;
    bool m_bDiscrete;
    int m_StartPos;
    int m_EndPos;
    qtmchart::ChartRect m_AxisRect;
    int m_nFontSize;
    QString m_strFontName;
    ChartFont m_TickFont;  // made from the two above; keeps the labels' measurements
    qtmchart::ColorRef m_TextColor;
    qtmchart::ColorRef m_AxisColor;
    CChartGrid* m_pAxisGrid;
    CChartAxisLabel* m_pAxisLabel;
    std::list<CChartSerie*> m_vSeries;
    bool m_bAutoMargin;
    int m_iMarginSize;
    bool m_bZoomEnabled;
    double m_dZoomLimit;
    // Guarded: the bar is a child widget of the control and Qt may delete it first.
    QPointer<CChartScrollBar> m_pScrollBar;
};

template <class ValueAt, class Store>
void CChartAxis::ValuesToScreenInto(std::size_t count, ValueAt valueAt, Store store) const {
    const qtmchart::AxisScale s = Scale();
    if (s.IsDegenerate() || m_bDiscrete) {
        for (std::size_t i = 0; i < count; ++i)
            store(i, ValueToScreen(valueAt(i)));
        return;
    }
    qtmchart::ValuesToScreenStandard(s, count, valueAt, store);
}

template <class ValueAt>
void CChartAxis::ValuesToScreen(std::size_t count, ValueAt valueAt, int* out) const {
    ValuesToScreenInto(count, valueAt, [out](std::size_t i, int pixel) { out[i] = pixel; });
}
