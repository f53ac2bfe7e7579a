#include "chart/ChartCtrl.h"

#include <QApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <utility>

#include "chart/ChartAxis.h"
#include "chart/ChartLegend.h"
#include "chart/ChartLineSerie.h"
#include "chart/ChartScrollBar.h"
#include "chart/ChartSerie.h"
#include "chart/ChartStandardAxis.h"
#include "chart/ChartTitle.h"

namespace {

using qtmchart::ChartRect;

// The classic Windows 3-D colours of a raised or sunken edge.
constexpr qtmchart::ColorRef k3DLight = 0xE3E3E3;
constexpr qtmchart::ColorRef k3DDarkShadow = 0x696969;
constexpr qtmchart::ColorRef kButtonHighlight = 0xFFFFFF;
constexpr qtmchart::ColorRef kButtonShadow = 0xA0A0A0;

// Fills [from, to) rows (vertical) or columns (horizontal) of rect with c1 fading to c2: c1
// on the first row or column, c2 on the last. Qt's gradient fill does it in one pass, several
// times faster than a fill per row.
void FillBand(QPainter* dc, const ChartRect& rect, bool vertical, int from, int to,
              qtmchart::ColorRef c1, qtmchart::ColorRef c2) {
    const int n = to - from;
    if (n <= 0) return;
    const QRect band = vertical ? QRect(rect.left, from, rect.Width(), n)
                                : QRect(from, rect.top, n, rect.Height());
    if (n == 1) {
        dc->fillRect(band, qtmchart::ToQColor(c1));
        return;
    }
    // From the centre of the first pixel to the centre of the last, so both ends are exact.
    const QPointF first = vertical ? QPointF(0, from + 0.5) : QPointF(from + 0.5, 0);
    const QPointF last = vertical ? QPointF(0, to - 0.5) : QPointF(to - 0.5, 0);
    QLinearGradient gradient(first, last);
    gradient.setColorAt(0.0, qtmchart::ToQColor(c1));
    gradient.setColorAt(1.0, qtmchart::ToQColor(c2));
    dc->fillRect(band, gradient);
}

// One ring of a Windows edge: the top and left sides in one colour, bottom and right in
// another.
void DrawEdgeRing(QPainter* dc, const ChartRect& r, qtmchart::ColorRef topLeft,
                  qtmchart::ColorRef bottomRight) {
    if (r.IsEmpty()) return;
    dc->fillRect(r.left, r.top, r.Width(), 1, qtmchart::ToQColor(topLeft));
    dc->fillRect(r.left, r.top, 1, r.Height(), qtmchart::ToQColor(topLeft));
    dc->fillRect(r.left, r.bottom - 1, r.Width(), 1, qtmchart::ToQColor(bottomRight));
    dc->fillRect(r.right - 1, r.top, 1, r.Height(), qtmchart::ToQColor(bottomRight));
}

bool IsValidPosition(int position) {
    return position >= 0 && position < 4;
}

}  // namespace

CChartCtrl::CChartCtrl(QWidget* parent) : QWidget(parent) {
    // Every pixel comes from the background image, so Qt need not clear the widget first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::ArrowCursor);
    // The right button pans: it must reach the chart, never open a context menu of the
    // window the chart sits in (the menu would take the mouse in the middle of the drag).
    setContextMenuPolicy(Qt::PreventContextMenu);
    m_pLegend = new CChartLegend(this);
    m_pTitle = new CChartTitle(this);
}

CChartCtrl::~CChartCtrl() {
    // Series first: each one unregisters itself from axes that must still exist.
    for (auto& entry : m_mapSeries)
        delete entry.second;
    m_mapSeries.clear();
    for (CChartAxis*& axis : m_pAxes) {
        delete axis;
        axis = nullptr;
    }
    delete m_pLegend;
    m_pLegend = nullptr;
    delete m_pTitle;
    m_pTitle = nullptr;
}

void CChartCtrl::EnableRefresh(bool enable) {
    m_iEnableRefresh += enable ? 1 : -1;
    if (m_iEnableRefresh > 0 && m_bPendingRefresh) {
        m_bPendingRefresh = false;
        RefreshCtrl();
    }
}

void CChartCtrl::RefreshCtrl() {
    if (width() <= 0 || height() <= 0) return;
    if (m_iEnableRefresh < 1) {
        m_bPendingRefresh = true;
        return;
    }
    const ChartRect client{0, 0, width(), height()};
    m_PlottingRect = client;
    // A hidden widget gets no resize event, so the size is checked here as well.
    if (m_BackgroundImage.isNull() || m_BackgroundImage.size() != size()) {
        m_BackgroundImage =
            QImage(client.Width(), client.Height(), QImage::Format_ARGB32_Premultiplied);
    }
    {
        QPainter dc(&m_BackgroundImage);
        DrawBackground(&dc, client);
        DrawChart(&dc,
                  ChartRect{client.left + 3, client.top + 3, client.right - 3, client.bottom - 3});
    }
    for (CChartAxis* axis : m_pAxes) {
        if (axis) axis->UpdateScrollBarPos();
    }
    update();
}

void CChartCtrl::SetBackGradient(ColorRef colour1, ColorRef colour2, int type) {
    m_bBackGradient = true;
    m_BackGradientCol1 = colour1;
    m_BackGradientCol2 = colour2;
    m_BackGradientType = type;
    RefreshCtrl();
}

void CChartCtrl::SetBackColor(ColorRef colour) {
    m_bBackGradient = false;
    m_BackColor = colour;
    RefreshCtrl();
}

void CChartCtrl::SetBorderColor(ColorRef colour) {
    m_BorderColor = colour;
    RefreshCtrl();
}

void CChartCtrl::SetEdgeType(unsigned edgeType) {
    m_EdgeType = edgeType;
    RefreshCtrl();
}

CChartStandardAxis* CChartCtrl::CreateStandardAxis(int position) {
    if (!IsValidPosition(position)) return nullptr;
    auto* axis = new CChartStandardAxis();
    AttachCustomAxis(axis, position);
    return axis;
}

void CChartCtrl::AttachCustomAxis(CChartAxis* axis, int position) {
    // A refused axis stays with the caller. An axis that already has a place, here or in
    // another chart, is refused too: two owners would delete it twice.
    if (!axis || !IsValidPosition(position) || axis->GetParent() != nullptr) return;
    axis->AttachToControl(this, position);
    CChartAxis* old = m_pAxes[position];
    m_pAxes[position] = axis;
    if (!old) return;
    // Series drawn against the replaced axis move to the new one, so none is left holding a
    // pointer to the deleted axis.
    for (auto& entry : m_mapSeries) {
        CChartSerie* serie = entry.second;
        bool moved = false;
        if (serie->GetHorizontalAxis() == old) {
            serie->SetHorizontalAxis(axis);
            moved = true;
        }
        if (serie->GetVerticalAxis() == old) {
            serie->SetVerticalAxis(axis);
            moved = true;
        }
        if (moved) axis->RegisterSerie(serie);
    }
    delete old;
}

CChartAxis* CChartCtrl::GetAxis(int position) const {
    return IsValidPosition(position) ? m_pAxes[position] : nullptr;
}

void CChartCtrl::AttachCustomSerie(CChartSerie* serie) {
    if (!serie) return;
    auto found = m_mapSeries.find(serie->GetSerieId());
    if (found != m_mapSeries.end()) return;  // already ours

    EnableRefresh(false);
    serie->m_pParentCtrl = this;  // its refreshes and incremental drawing must come here
    serie->SetColor(kSerieColors[m_mapSeries.size() % 10]);
    serie->SetDrawingRect(m_PlottingRect);
    serie->SetHorizontalAxis(m_pAxes[BottomAxis]);
    serie->SetVerticalAxis(m_pAxes[LeftAxis]);
    m_mapSeries.emplace(serie->GetSerieId(), serie);
    if (CChartAxis* left = m_pAxes[LeftAxis]) {
        left->RegisterSerie(serie);
        left->RefreshAutoAxis();
    }
    if (CChartAxis* bottom = m_pAxes[BottomAxis]) {
        bottom->RegisterSerie(serie);
        bottom->RefreshAutoAxis();
    }
    RefreshCtrl();
    EnableRefresh(true);
}

CChartLineSerie* CChartCtrl::CreateLineSerie() {
    auto* serie = new CChartLineSerie(this);
    AttachCustomSerie(serie);
    return serie;
}

void CChartCtrl::RemoveAllSeries() {
    // Move the map out first: a serie's destructor talks to the axes, never to this map.
    SeriesMap series;
    series.swap(m_mapSeries);
    for (auto& entry : series)
        delete entry.second;
    RefreshCtrl();
}

const QImage* CChartCtrl::GetBackgroundImage() const {
    return m_BackgroundImage.isNull() ? nullptr : &m_BackgroundImage;
}

QImage* CChartCtrl::GetBackgroundImage() {
    return m_BackgroundImage.isNull() ? nullptr : &m_BackgroundImage;
}

void CChartCtrl::DrawBackground(QPainter* dc, ChartRect rect) {
    if (m_bBackGradient) {
        DrawGradient(dc, rect);
    } else {
        dc->fillRect(rect.ToQRect(), qtmchart::ToQColor(m_BackColor));
    }
    DrawEdge(dc, rect);
}

void CChartCtrl::DrawGradient(QPainter* dc, ChartRect rect) const {
    const ColorRef c1 = m_BackGradientCol1;
    const ColorRef c2 = m_BackGradientCol2;
    switch (m_BackGradientType) {
        case HorizontalGradient:
            FillBand(dc, rect, false, rect.left, rect.right, c1, c2);
            break;
        case VerticalGradient:
            FillBand(dc, rect, true, rect.top, rect.bottom, c1, c2);
            break;
        case HorizontalDoubleGradient: {
            const int mid = rect.left + rect.Width() / 2;
            FillBand(dc, rect, false, rect.left, mid, c1, c2);
            FillBand(dc, rect, false, mid, rect.right, c2, c1);
            break;
        }
        default: {
            const int mid = rect.top + rect.Height() / 2;
            FillBand(dc, rect, true, rect.top, mid, c1, c2);
            FillBand(dc, rect, true, mid, rect.bottom, c2, c1);
            break;
        }
    }
}

void CChartCtrl::DrawEdge(QPainter* dc, ChartRect rect) const {
    const ChartRect outer = rect;
    const ChartRect inner{rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1};
    if (m_EdgeType & kBdrRaisedOuter) {
        DrawEdgeRing(dc, outer, k3DLight, k3DDarkShadow);
    } else if (m_EdgeType & kBdrSunkenOuter) {
        DrawEdgeRing(dc, outer, kButtonShadow, kButtonHighlight);
    }
    if (m_EdgeType & kBdrRaisedInner) {
        DrawEdgeRing(dc, inner, kButtonHighlight, kButtonShadow);
    } else if (m_EdgeType & kBdrSunkenInner) {
        DrawEdgeRing(dc, inner, k3DDarkShadow, k3DLight);
    }
}

void CChartCtrl::DrawChart(QPainter* dc, ChartRect rect) {
    m_PlottingRect = rect;
    ChartRect chartRect = rect;

    if (m_pTitle) {
        const QSize titleSize = m_pTitle->GetSize(dc);
        m_pTitle->SetTitleRect(
            ChartRect{rect.left, rect.top, rect.right, rect.top + titleSize.height()});
        chartRect.top += titleSize.height();
        m_pTitle->Draw(dc);
    }

    // The legend moves the chart rectangle's side off itself when it is docked and shown.
    if (m_pLegend) m_pLegend->ClipArea(dc, chartRect);

    // Two passes: the first lets every axis take its room, so that the second can lay each
    // axis along the final plotting rectangle before drawing it.
    for (CChartAxis* axis : m_pAxes) {
        if (!axis) continue;
        axis->SetAxisSize(chartRect, m_PlottingRect);
        if (axis->IsAutoTicks()) axis->RefreshTickIncrement();
        axis->RefreshFirstTick();
        axis->ClipMargin(chartRect, m_PlottingRect, dc);
    }
    for (CChartAxis* axis : m_pAxes) {
        if (!axis) continue;
        axis->SetAxisSize(chartRect, m_PlottingRect);
        if (axis->IsAutoTicks()) axis->RefreshTickIncrement();
        axis->RefreshFirstTick();
        axis->Draw(dc);
    }

    dc->save();
    dc->setRenderHint(QPainter::Antialiasing, false);
    QPen framePen(qtmchart::ToQColor(m_BorderColor), 0);
    dc->setPen(framePen);
    const ChartRect& p = m_PlottingRect;
    const QPoint frame[5] = {{p.left, p.top},
                             {p.right, p.top},
                             {p.right, p.bottom},
                             {p.left, p.bottom},
                             {p.left, p.top}};
    dc->drawPolyline(frame, 5);
    dc->restore();

    const ChartRect serieRect{p.left + 1, p.top + 1, p.right, p.bottom};
    for (auto& entry : m_mapSeries) {
        entry.second->SetDrawingRect(serieRect);
        entry.second->DrawAll(dc);
    }

    dc->save();
    dc->setClipRect(p.ToQRect());
    for (auto& entry : m_mapSeries)
        entry.second->DrawLabels(dc);
    dc->restore();

    if (m_pLegend) m_pLegend->Draw(dc);
}

void CChartCtrl::paintEvent(QPaintEvent*) {
    if (!m_bPaintedOnce) {
        m_bPaintedOnce = true;
        RefreshCtrl();
    }
    QPainter dc(this);
    if (m_BackgroundImage.isNull() || m_BackgroundImage.size() != size()) {
        // No image of this size yet (refresh held since the last resize): show the plain
        // background rather than stale or uninitialised pixels.
        dc.fillRect(rect(), qtmchart::ToQColor(m_BackColor));
    }
    if (!m_BackgroundImage.isNull()) dc.drawImage(0, 0, m_BackgroundImage);

    if (m_bZoomEnabled && m_bLMouseDown) {
        dc.setRenderHint(QPainter::Antialiasing, false);
        dc.setPen(QPen(qtmchart::ToQColor(m_ZoomRectColor), 1));
        const QPoint& s = m_rectZoomArea[0];
        const QPoint& e = m_rectZoomArea[1];
        const QPoint outline[5] = {s, {e.x(), s.y()}, e, {s.x(), e.y()}, s};
        dc.drawPolyline(outline, 5);
    }
}

void CChartCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_BackgroundImage = QImage();  // the next refresh makes one of the new size
    RefreshCtrl();
}

void CChartCtrl::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        if (m_bZoomEnabled) {
            m_bLMouseDown = true;
            m_rectZoomArea[0] = point;
            m_rectZoomArea[1] = point;
        }
    } else if (event->button() == Qt::RightButton) {
        m_bRMouseDown = true;
        if (m_bPanEnabled) m_PanAnchor = point;
    }
    event->accept();
}

void CChartCtrl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    // A button no longer held was released where this chart did not see it.
    if (!(event->buttons() & Qt::RightButton)) m_bRMouseDown = false;
    if (m_bLMouseDown && !(event->buttons() & Qt::LeftButton)) {
        m_bLMouseDown = false;
        update();
    }
    if (m_bPanEnabled && m_bRMouseDown && point != m_PanAnchor) {
        EnableRefresh(false);
        if (m_pAxes[LeftAxis]) m_pAxes[LeftAxis]->PanAxis(m_PanAnchor.y(), point.y());
        if (m_pAxes[RightAxis]) m_pAxes[RightAxis]->PanAxis(m_PanAnchor.y(), point.y());
        if (m_pAxes[BottomAxis]) m_pAxes[BottomAxis]->PanAxis(m_PanAnchor.x(), point.x());
        if (m_pAxes[TopAxis]) m_pAxes[TopAxis]->PanAxis(m_PanAnchor.x(), point.x());
        RefreshCtrl();
        EnableRefresh(true);
        repaint();
        m_PanAnchor = point;
    }
    if (m_bZoomEnabled && m_bLMouseDown) {
        m_rectZoomArea[1] = point;
        update();
    }
    event->accept();
}

void CChartCtrl::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        // The release point ends the drag even when no move was reported on the way there.
        // A drag that ended when the chart lost the mouse selects nothing any more.
        const bool dragging = m_bLMouseDown;
        if (dragging) m_rectZoomArea[1] = point;
        m_bLMouseDown = false;
        if (dragging && m_bZoomEnabled) OnLeftButtonUp();
        update();  // take the zoom outline off the screen
    } else if (event->button() == Qt::RightButton) {
        m_bRMouseDown = false;
    }
    event->accept();
}

void CChartCtrl::EndMouseDrag() {
    m_bRMouseDown = false;
    if (m_bLMouseDown) {
        m_bLMouseDown = false;
        update();  // take the zoom outline off the screen
    }
}

bool CChartCtrl::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::UngrabMouse:
        case QEvent::WindowDeactivate:
            EndMouseDrag();
            break;
        default:
            break;
    }
    return QWidget::event(event);
}

void CChartCtrl::focusOutEvent(QFocusEvent* event) {
    EndMouseDrag();
    QWidget::focusOutEvent(event);
}

void CChartCtrl::hideEvent(QHideEvent* event) {
    EndMouseDrag();
    QWidget::hideEvent(event);
}

void CChartCtrl::leaveEvent(QEvent* event) {
    // While a button is held the chart keeps the mouse and hears its release; a leave with
    // none held means that release went elsewhere.
    if (QApplication::mouseButtons() == Qt::NoButton) EndMouseDrag();
    QWidget::leaveEvent(event);
}

void CChartCtrl::OnLeftButtonUp() {
    const QPoint start = m_rectZoomArea[0];
    const QPoint end = m_rectZoomArea[1];
    if (end.x() < start.x() || end.y() < start.y()) {
        UndoZoom();
    } else if (end.x() == start.x() || end.y() == start.y()) {
        // A click or a straight line selects no area.
    } else {
        ApplyZoom();
    }
}

void CChartCtrl::UndoZoom() {
    EnableRefresh(false);
    for (int position : {BottomAxis, LeftAxis, TopAxis, RightAxis}) {
        if (m_pAxes[position]) m_pAxes[position]->UndoZoom();
    }
    EnableRefresh(true);
}

void CChartCtrl::ApplyZoom() {
    const QPoint start = m_rectZoomArea[0];
    const QPoint end = m_rectZoomArea[1];
    for (CChartAxis* axis : m_pAxes) {
        if (!axis) continue;
        double low = 0.0;
        double high = 0.0;
        if (axis->IsHorizontal()) {
            low = axis->ScreenToValue(start.x());
            high = axis->ScreenToValue(end.x());
        } else {
            low = axis->ScreenToValue(end.y());
            high = axis->ScreenToValue(start.y());
        }
        if (axis->IsInverted()) std::swap(low, high);
        axis->SetZoomMinMax(low, high);
    }
    RefreshCtrl();
}

int CChartCtrl::ScrollPosition(int code, int position, int low, int high, int thumbPosition) {
    const int p = position;
    switch (code) {
        case 0:
            return p > low ? p - 1 : p;  // line up
        case 1:
            return p < high - 9 ? p + 1 : p;  // line down
        case 2:
            return p > low ? std::max(low, p - 10) : p;  // page up
        case 3:
            return p < high - 9 ? std::min(high, p + 10) : p;  // page down
        case 4:                                                // thumb position
        case 5:
            return thumbPosition;  // thumb track
        case 6:
            return 0;  // top
        case 7:
            return high;  // bottom
        default:
            return p;  // end scroll
    }
}

void CChartCtrl::OnAxisScroll(int position, int code, int thumbPosition) {
    CChartAxis* axis = GetAxis(position);
    CChartScrollBar* bar = axis ? axis->GetScrollBar() : nullptr;
    if (bar && code >= 0 && code <= 7) {
        int low = 0;
        int high = 0;
        bar->GetScrollRange(low, high);
        const int from = bar->GetScrollPos();
        const int to = ScrollPosition(code, from, low, high, thumbPosition);
        bar->SetScrollPos(to);
        const bool reverse = axis->IsHorizontal() == axis->IsInverted();
        axis->ScrollBy(from, to, reverse);
    }
    RefreshCtrl();
}
