#include "chart/ChartScrollBar.h"

#include <QEvent>
#include <algorithm>

#include "chart/ChartAxis.h"
#include "chart/ChartAxisMath.h"
#include "chart/ChartCtrl.h"

namespace {

// The scroll request codes the control understands, as the classic scroll messages number them.
int ScrollCodeFor(int action) {
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            return 0;
        case QAbstractSlider::SliderSingleStepAdd:
            return 1;
        case QAbstractSlider::SliderPageStepSub:
            return 2;
        case QAbstractSlider::SliderPageStepAdd:
            return 3;
        case QAbstractSlider::SliderMove:
            return 5;
        case QAbstractSlider::SliderToMinimum:
            return 6;
        case QAbstractSlider::SliderToMaximum:
            return 7;
        default:
            return 8;
    }
}

}  // namespace

CChartScrollBar::CChartScrollBar(CChartAxis* axis, QWidget* owner, bool horizontal)
    : QScrollBar(horizontal ? Qt::Horizontal : Qt::Vertical, owner),
      m_pParentAxis(axis),
      m_bEnabled(false),
      m_bAutoHide(true),
      m_nMin(1),
      m_nMax(1),
      m_nPage(1),
      m_nPos(1) {
    hide();
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) {
        auto* ctrl = qobject_cast<CChartCtrl*>(this->parentWidget());
        if (ctrl != nullptr && m_pParentAxis != nullptr) {
            ctrl->OnAxisScroll(m_pParentAxis->GetPosition(), ScrollCodeFor(action),
                               sliderPosition());
        }
    });
}

CChartScrollBar::~CChartScrollBar() = default;

void CChartScrollBar::SetScrollInfo(int lo, int hi, int page, int position) {
    m_nMin = lo;
    m_nMax = hi;
    m_nPage = page;
    m_nPos = position;
    const QSignalBlocker quiet(this);
    // Qt's maximum is the last position, not the last step: hi - page + 1.
    setRange(lo, std::max(lo, hi - std::max(page, 1) + 1));
    setPageStep(std::max(page, 1));
    setValue(position);
    ApplyVisibility();
}

void CChartScrollBar::GetScrollRange(int& lo, int& hi) const {
    lo = m_nMin;
    hi = m_nMax;
}

void CChartScrollBar::SetScrollPos(int position) {
    m_nPos = position;
    const QSignalBlocker quiet(this);
    setSliderPosition(position);
    setValue(position);
}

void CChartScrollBar::SetEnabled(bool enabled) {
    m_bEnabled = enabled;
    ApplyVisibility();
}

void CChartScrollBar::SetAutoHide(bool autoHide) {
    m_bAutoHide = autoHide;
    ApplyVisibility();
}

void CChartScrollBar::ApplyVisibility() {
    // An auto-hiding bar shows only when there is something to scroll.
    const bool scrollable = m_nMax - m_nMin + 1 > m_nPage;
    setVisible(m_bEnabled && (!m_bAutoHide || scrollable));
}

void CChartScrollBar::changeEvent(QEvent* event) {
    // Another style may give the bar another thickness.
    if (event->type() == QEvent::StyleChange) m_nPlacedAt = -1;
    QScrollBar::changeEvent(event);
}

void CChartScrollBar::Place(const qtmchart::ChartRect& plot, int position) {
    if (position == m_nPlacedAt && plot == m_PlacedIn) return;
    m_nPlacedAt = position;
    m_PlacedIn = plot;
    const bool horizontal = qtmchart::IsHorizontalPosition(position);
    const int thickness = horizontal ? sizeHint().height() : sizeHint().width();
    const int width = std::max(0, plot.Width() - 1);
    const int height = std::max(0, plot.Height() - 1);
    switch (position) {
        case qtmchart::kBottomAxis:
            setGeometry(plot.left + 1, plot.bottom - thickness, width, thickness);
            break;
        case qtmchart::kTopAxis:
            setGeometry(plot.left + 1, plot.top + 1, width, thickness);
            break;
        case qtmchart::kLeftAxis:
            setGeometry(plot.left + 1, plot.top + 1, thickness, height);
            break;
        default:
            setGeometry(plot.right - thickness, plot.top + 1, thickness, height);
            break;
    }
}
