// CChartCtrl: the x/y chart widget. It owns its axes, series, legend and title, draws them
// into an off-screen image on RefreshCtrl and only copies that image on paint. What lies
// behind the series (background, title, axes, grid, frame) is kept as a layer of its own and
// drawn again only when something it shows changes.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <map>

#include "chart/ChartColor.h"
#include "chart/ChartLayerKey.h"
#include "chart/ChartRect.h"

class QPainter;
class CChartAxis;
class CChartStandardAxis;
class CChartSerie;
class CChartLineSerie;
class CChartLegend;
class CChartTitle;

class CChartCtrl : public QWidget {
    Q_OBJECT

public:
    using ColorRef = qtmchart::ColorRef;
    using ChartRect = qtmchart::ChartRect;
    using SeriesMap = std::map<unsigned, CChartSerie*>;

    // Axis positions, the index into the axis array.
    enum AxisPosition { LeftAxis = 0, BottomAxis = 1, RightAxis = 2, TopAxis = 3 };

    // Gradient types of SetBackGradient.
    enum GradientType {
        HorizontalGradient = 0,        // colour 1 at the left to colour 2 at the right
        VerticalGradient = 1,          // colour 1 at the top to colour 2 at the bottom
        HorizontalDoubleGradient = 2,  // 1 → 2 on the left half, 2 → 1 on the right half
        VerticalDoubleGradient = 3,    // 1 → 2 on the top half, 2 → 1 on the bottom half
    };

    // Border flags of the edge drawn round the whole control (the Windows edge values).
    static constexpr unsigned kBdrRaisedOuter = 0x1;
    static constexpr unsigned kBdrSunkenOuter = 0x2;
    static constexpr unsigned kBdrRaisedInner = 0x4;
    static constexpr unsigned kBdrSunkenInner = 0x8;
    static constexpr unsigned kEdgeRaised = kBdrRaisedOuter | kBdrRaisedInner;
    static constexpr unsigned kEdgeSunken = kBdrSunkenOuter | kBdrSunkenInner;

    // The button-face colour of the classic Windows scheme, the default background.
    static constexpr ColorRef kButtonFace = 0xF0F0F0;
    static constexpr ColorRef kSerieColors[10] = {0x0000FF, 0x009600, 0xFF0000, 0x00FFFF, 0xFFFF00,
                                                  0x0080FF, 0x800080, 0x008080, 0xFF00FF, 0x808040};

    explicit CChartCtrl(QWidget* parent = nullptr);
    ~CChartCtrl() override;

    CChartCtrl(const CChartCtrl&) = delete;
    CChartCtrl& operator=(const CChartCtrl&) = delete;

    // Refresh nesting: every EnableRefresh(false) must be matched by an EnableRefresh(true);
    // a refresh asked for in between happens once, on the matching true.
    void EnableRefresh(bool enable);
    void RefreshCtrl();
    bool IsRefreshEnabled() const { return m_iEnableRefresh > 0; }

    void SetBackGradient(ColorRef colour1, ColorRef colour2, int type);
    void SetBackColor(ColorRef colour);
    void SetBorderColor(ColorRef colour);
    void SetEdgeType(unsigned edgeType);
    ColorRef GetBackColor() const { return m_BackColor; }
    ColorRef GetBorderColor() const { return m_BorderColor; }

    CChartStandardAxis* CreateStandardAxis(int position);
    void AttachCustomAxis(CChartAxis* axis, int position);
    CChartAxis* GetAxis(int position) const;
    CChartAxis* GetLeftAxis() const { return GetAxis(LeftAxis); }
    CChartAxis* GetBottomAxis() const { return GetAxis(BottomAxis); }
    CChartAxis* GetRightAxis() const { return GetAxis(RightAxis); }
    CChartAxis* GetTopAxis() const { return GetAxis(TopAxis); }

    CChartLegend* GetLegend() const { return m_pLegend; }
    CChartTitle* GetTitle() const { return m_pTitle; }

    // The control takes ownership of the serie.
    void AttachCustomSerie(CChartSerie* serie);
    // A new line serie attached to this chart (owned by the chart).
    CChartLineSerie* CreateLineSerie();
    void RemoveAllSeries();
    const SeriesMap& GetSeries() const { return m_mapSeries; }
    size_t GetSeriesCount() const { return m_mapSeries.size(); }

    void SetZoomEnabled(bool enabled) { m_bZoomEnabled = enabled; }
    void SetPanEnabled(bool enabled) { m_bPanEnabled = enabled; }
    bool IsZoomEnabled() const { return m_bZoomEnabled; }
    bool IsPanEnabled() const { return m_bPanEnabled; }
    void SetZoomRectColor(ColorRef colour) { m_ZoomRectColor = colour; }

    // The rectangle the series are drawn in, as left by the last drawing pass.
    ChartRect GetPlottingRect() const { return m_PlottingRect; }

    // The off-screen image the chart is drawn into, at the screen's pixel ratio (its size in
    // pixels is the widget's times that ratio); null before the first refresh.
    const QImage* GetBackgroundImage() const;
    QImage* GetBackgroundImage();

    // Draws the whole chart, as it is now and at its present size, into painter: an image of
    // any pixel ratio (drawn at that resolution, not enlarged) or a vector device. The cached
    // layer is not used, and the chart on screen is laid out again afterwards.
    void RenderTo(QPainter* painter);
    // The next refresh draws the layer behind the series again. A derived chart whose
    // DrawBackground or DrawChart paints from state of its own calls it when that changes.
    void InvalidateLayer();
    // How many times the layer behind the series has been drawn.
    int GetLayerDrawCount() const { return m_nLayerDraws; }

    // A scroll request from the scroll bar of the axis at `position` (codes as the Windows
    // scroll messages: 0 line up ... 8 end scroll; thumbPosition for 4 and 5).
    void OnAxisScroll(int position, int code, int thumbPosition);
    // The scroll bar position after a scroll request: line steps of 1, page steps of 10, the
    // thumb position for 4 and 5, the ends for 6 and 7, no change otherwise.
    static int ScrollPosition(int code, int position, int low, int high, int thumbPosition);

    // The two halves of a drawing pass. During a refresh whose layer is current, the base
    // DrawBackground finds the layer already in the image (it holds what DrawChart draws
    // behind the series as well), and DrawChart then draws the series, labels and legend.
    virtual void DrawBackground(QPainter* dc, ChartRect rect);
    virtual void DrawChart(QPainter* dc, ChartRect rect);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // A pan or zoom in progress ends when the chart loses the mouse.
    bool event(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // Where a refresh stands with the cached layer.
    enum class LayerPass {
        None,      // not in a refresh of the chart's own image
        Reuse,     // the layer is current and was copied into the image
        Reused,    // DrawBackground found it there
        Record,    // the layer is drawn anew and kept once DrawChart has drawn it
        NoRecord,  // drawn elsewhere or otherwise: nothing to keep
    };

    // The values the layer is drawn from (ChartLayerKey).
    void BuildLayerKey(qtmchart::ChartLayerKey& key, qreal ratio) const;
    bool IsOwnImage(const QPainter* dc) const;
    // Title, the legend's room, both axis passes and the frame.
    void DrawChartLayer(QPainter* dc, ChartRect rect);
    // Series, their labels and the legend, over the layer.
    void DrawChartData(QPainter* dc);
    // Keeps the image as drawn so far as the layer for the key of this refresh.
    void SaveLayer();
    void DrawGradient(QPainter* dc, ChartRect rect) const;
    void DrawEdge(QPainter* dc, ChartRect rect) const;
    void OnLeftButtonUp();
    // Forgets a pan or zoom drag whose button release will not come here; a zoom that was
    // not finished changes nothing.
    void EndMouseDrag();
    void UndoZoom();
    void ApplyZoom();

    int m_iEnableRefresh = 1;
    bool m_bPendingRefresh = false;
    QImage m_BackgroundImage;  // null until created, and again after a resize
    QImage m_LayerImage;       // the layer behind the series, as drawn for m_LayerKey
    qtmchart::ChartLayerKey m_LayerKey;
    qtmchart::ChartLayerKey m_NextLayerKey;  // this refresh's, built into kept room
    ChartRect m_LayerChartArea;              // the rectangle DrawChart got for the layer
    ChartRect m_LayerPlottingRect;           // and the plotting rectangle it left
    LayerPass m_LayerPass = LayerPass::None;
    int m_nLayerDraws = 0;
    bool m_bBackGradient = false;
    ColorRef m_BackGradientCol1 = kButtonFace;
    ColorRef m_BackGradientCol2 = kButtonFace;
    int m_BackGradientType = VerticalGradient;
    ColorRef m_BackColor = kButtonFace;
    ColorRef m_BorderColor = 0;
    unsigned m_EdgeType = kEdgeRaised;
    ChartRect m_PlottingRect;
    SeriesMap m_mapSeries;
    CChartAxis* m_pAxes[4] = {nullptr, nullptr, nullptr, nullptr};
    CChartLegend* m_pLegend = nullptr;
    CChartTitle* m_pTitle = nullptr;
    bool m_bPanEnabled = true;
    bool m_bRMouseDown = false;
    QPoint m_PanAnchor;
    bool m_bZoomEnabled = true;
    bool m_bLMouseDown = false;
    QPoint m_rectZoomArea[2];  // start and end of the zoom drag
    ColorRef m_ZoomRectColor = 0xFFFFFF;
    bool m_bPaintedOnce = false;
};
