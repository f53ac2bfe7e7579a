// The mouse on CChartCtrl: a left drag zooms (or, drawn up and to the left, un-zooms), a right
// drag pans, and the hidden axis scroll bars scroll.
#include <QApplication>
#include <QMouseEvent>
#include <utility>

#include "chart/ChartAxis.h"
#include "chart/ChartCtrl.h"
#include "chart/ChartScrollBar.h"

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
