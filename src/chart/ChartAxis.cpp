#include "chart/ChartAxis.h"

#include <QPainter>
#include <algorithm>

#include "chart/ChartAxisLabel.h"
#include "chart/ChartCtrl.h"
#include "chart/ChartGrid.h"
#include "chart/ChartScrollBar.h"
#include "chart/ChartSerie.h"

using qtmchart::AxisScale;
using qtmchart::ChartRect;

CChartAxis::CChartAxis()
    : m_pParentCtrl(nullptr),
      m_bIsHorizontal(true),
      m_bIsInverted(false),
      m_AutoMode(NotAutomatic),
      m_bIsVisible(true),
      m_bIsSecondary(false),
      m_MaxValue(0.0),
      m_MinValue(0.0),
      m_UnzoomMin(0.0),
      m_UnzoomMax(0.0),
      m_bAutoTicks(true),
      m_bDiscrete(false),
      m_StartPos(0),
      m_EndPos(0),
      m_AxisRect(),
      m_nFontSize(80),
      m_strFontName(QStringLiteral("Microsoft Sans Serif")),
      m_TickFont(m_strFontName, m_nFontSize),
      m_TextColor(0),
      m_AxisColor(0),
      m_pAxisGrid(new CChartGrid()),
      m_pAxisLabel(new CChartAxisLabel()),
      m_bAutoMargin(true),
      m_iMarginSize(0),
      m_bZoomEnabled(true),
      m_dZoomLimit(0.001) {}

CChartAxis::~CChartAxis() {
    // A serie that still points here must not reach back into a deleted axis later.
    for (CChartSerie* serie : m_vSeries) {
        if (serie->GetHorizontalAxis() == this) serie->SetHorizontalAxis(nullptr);
        if (serie->GetVerticalAxis() == this) serie->SetVerticalAxis(nullptr);
    }
    delete m_pAxisGrid;
    delete m_pAxisLabel;
    delete m_pScrollBar.data();
}

CChartScrollBar* CChartAxis::GetScrollBar() const {
    return m_pScrollBar.data();
}

void CChartAxis::RefreshCtrl() const {
    if (m_pParentCtrl != nullptr) m_pParentCtrl->RefreshCtrl();
}

int CChartAxis::GetPosition() const {
    if (m_bIsHorizontal) return m_bIsSecondary ? qtmchart::kTopAxis : qtmchart::kBottomAxis;
    return m_bIsSecondary ? qtmchart::kRightAxis : qtmchart::kLeftAxis;
}

AxisScale CChartAxis::Scale() const {
    AxisScale s;
    s.min = m_MinValue;
    s.max = m_MaxValue;
    s.start = m_StartPos;
    s.end = m_EndPos;
    s.horizontal = m_bIsHorizontal;
    s.inverted = m_bIsInverted;
    return s;
}

void CChartAxis::AttachToControl(CChartCtrl* parent, int position) {
    m_pParentCtrl = parent;
    m_pAxisGrid->SetParent(parent);
    m_pAxisLabel->SetParent(parent);
    m_bIsSecondary = qtmchart::IsSecondaryPosition(position);
    m_bIsHorizontal = qtmchart::IsHorizontalPosition(position);
    m_pAxisGrid->SetHorizontal(m_bIsHorizontal);
    m_pAxisLabel->SetHorizontal(m_bIsHorizontal);

    delete m_pScrollBar.data();
    m_pScrollBar = nullptr;
    if (parent == nullptr) return;
    m_pScrollBar = new CChartScrollBar(this, parent, m_bIsHorizontal);
    const ChartRect plot = parent->GetPlottingRect();
    m_pScrollBar->setGeometry(plot.left + 1, plot.top + 1, std::max(0, plot.Width() - 1),
                              std::max(0, plot.Height() - 1));
    m_pScrollBar->SetScrollInfo(1, 1, 1, 1);
}

// ---- Mappings -------------------------------------------------------------------------------

void CChartAxis::SetDiscrete(bool discrete) {
    m_bDiscrete = discrete;
    RefreshCtrl();
}

double CChartAxis::ScreenToValue(int screenVal) const {
    return qtmchart::ScreenToValue(Scale(), screenVal);
}

int CChartAxis::ValueToScreenStandard(double value) const {
    return qtmchart::ValueToScreenStandard(Scale(), value);
}

int CChartAxis::ValueToScreen(double value) const {
    const AxisScale s = Scale();
    if (s.IsDegenerate()) return qtmchart::ValueToScreen(s, value, false, 0.0);
    return m_bDiscrete ? ValueToScreenDiscrete(value) : ValueToScreenStandard(value);
}

bool CChartAxis::IsLabelInAxis(double value) const {
    return qtmchart::IsPixelOnAxis(Scale(), ValueToScreen(value));
}

// ---- Range ----------------------------------------------------------------------------------

void CChartAxis::SetMinMax(double minimum, double maximum) {
    // Taken as given: callers may set a reversed range on purpose.
    m_MinValue = m_UnzoomMin = minimum;
    m_MaxValue = m_UnzoomMax = maximum;
    RefreshScrollBar();
    RefreshCtrl();
}

void CChartAxis::GetMinMax(double& minimum, double& maximum) const {
    minimum = m_MinValue;
    maximum = m_MaxValue;
}

void CChartAxis::GetSavedMinMax(double& minimum, double& maximum) const {
    minimum = m_UnzoomMin;
    maximum = m_UnzoomMax;
}

void CChartAxis::UndoZoom() {
    m_MinValue = m_UnzoomMin;
    m_MaxValue = m_UnzoomMax;
    RefreshScrollBar();
    RefreshCtrl();
}

void CChartAxis::SetAutomatic(bool automatic) {
    if (!automatic) {
        m_AutoMode = NotAutomatic;
        RefreshScrollBar();
        return;
    }
    const double oldMin = m_MinValue;
    const double oldMax = m_MaxValue;
    m_MinValue = 0.0;
    m_MaxValue = 0.0;
    m_AutoMode = FullAutomatic;
    RefreshAutoAxis();
    // Without series the range stays 0..0 and RefreshAutoAxis sees no change; the chart
    // still has to show that the old range is gone.
    if (m_MinValue == 0.0 && m_MaxValue == 0.0 && (oldMin != 0.0 || oldMax != 0.0)) {
        RefreshCtrl();
    }
}

void CChartAxis::SetAutomaticMode(int mode) {
    m_AutoMode = mode;
    RefreshAutoAxis();
}

namespace {

// The union of the ranges the axis's series report through one of their range queries;
// a serie with no range (empty, or nothing visible) is left out.
using SerieRange = bool (CChartSerie::*)(double&, double&) const;

bool UnionOfSerieRanges(const std::list<CChartSerie*>& series, SerieRange range, double& minimum,
                        double& maximum) {
    minimum = 0.0;
    maximum = 0.0;
    bool first = true;
    for (const CChartSerie* serie : series) {
        double lo = 0.0;
        double hi = 0.0;
        if (!(serie->*range)(lo, hi)) continue;
        if (first) {
            minimum = lo;
            maximum = hi;
            first = false;
        } else {
            minimum = std::min(minimum, lo);
            maximum = std::max(maximum, hi);
        }
    }
    return !first;
}

}  // namespace

bool CChartAxis::GetSeriesMinMax(double& minimum, double& maximum) const {
    return UnionOfSerieRanges(
        m_vSeries, m_bIsHorizontal ? &CChartSerie::GetSerieXMinMax : &CChartSerie::GetSerieYMinMax,
        minimum, maximum);
}

bool CChartAxis::GetSeriesScreenMinMax(double& minimum, double& maximum) const {
    return UnionOfSerieRanges(
        m_vSeries,
        m_bIsHorizontal ? &CChartSerie::GetSerieXScreenMinMax : &CChartSerie::GetSerieYScreenMinMax,
        minimum, maximum);
}

void CChartAxis::RefreshAutoAxis() {
    RefreshScrollBar();
    if (m_AutoMode == NotAutomatic) return;
    double minimum = 0.0;
    double maximum = 0.0;
    if (m_AutoMode == FullAutomatic) {
        GetSeriesMinMax(minimum, maximum);
    } else {
        GetSeriesScreenMinMax(minimum, maximum);
    }
    if (minimum != m_MinValue || maximum != m_MaxValue) {
        m_MaxValue = m_UnzoomMax = maximum;
        m_MinValue = m_UnzoomMin = minimum;
        RefreshScrollBar();
        RefreshCtrl();
    }
}

// ---- Zoom, pan, scroll ----------------------------------------------------------------------

void CChartAxis::SetZoomMinMax(double minimum, double maximum) {
    if (!m_bZoomEnabled || m_MinValue == m_MaxValue) return;
    qtmchart::ZoomRange(minimum, maximum, m_dZoomLimit, m_MinValue, m_MaxValue);
    RefreshScrollBar();
}

void CChartAxis::PanAxis(int startPixel, int endPixel) {
    const double offset = ScreenToValue(startPixel) - ScreenToValue(endPixel);
    SetZoomMinMax(m_MinValue + offset, m_MaxValue + offset);
}

void CChartAxis::ScrollBy(int fromPosition, int toPosition, bool reverse) {
    const double step = (m_MaxValue - m_MinValue) / 10 * (toPosition - fromPosition);
    if (reverse) {
        SetZoomMinMax(m_MinValue - step, m_MaxValue - step);
    } else {
        SetZoomMinMax(m_MinValue + step, m_MaxValue + step);
    }
    if (m_pParentCtrl == nullptr) return;
    for (int i = 0; i < 4; ++i) {
        if (CChartAxis* axis = m_pParentCtrl->GetAxis(i)) axis->RefreshScrollBar();
    }
    for (int i = 0; i < 4; ++i) {
        CChartAxis* axis = m_pParentCtrl->GetAxis(i);
        if (axis != nullptr && axis->m_AutoMode == ScreenAutomatic) axis->RefreshAutoAxis();
    }
}

void CChartAxis::GetScrollbarSteps(int& steps, int& position) const {
    double seriesMin = 0.0;
    double seriesMax = 0.0;
    GetSeriesMinMax(seriesMin, seriesMax);
    qtmchart::ScrollbarSteps(m_MinValue, m_MaxValue, seriesMin, seriesMax, steps, position);
}

void CChartAxis::RefreshScrollBar() {
    if (m_pScrollBar.isNull()) return;
    int steps = 1;
    int position = 1;
    GetScrollbarSteps(steps, position);
    // The bar runs top-down and left-right; a value axis running the other way flips it.
    if ((!m_bIsHorizontal && !m_bIsInverted) || (m_bIsHorizontal && m_bIsInverted)) {
        position = steps - position - 9;
    }
    m_pScrollBar->SetScrollInfo(0, steps - 1, 10, position);
}

void CChartAxis::UpdateScrollBarPos() {
    if (m_pScrollBar.isNull() || m_pParentCtrl == nullptr) return;
    m_pScrollBar->Place(m_pParentCtrl->GetPlottingRect(), GetPosition());
}

void CChartAxis::AddToLayerKey(qtmchart::ChartLayerKey& key) const {
    key.Add(m_bIsHorizontal).Add(m_bIsSecondary).Add(m_bIsInverted).Add(m_bIsVisible);
    key.Add(m_MinValue).Add(m_MaxValue).Add(m_bAutoTicks).Add(m_bDiscrete);
    key.Add(m_TextColor).Add(m_AxisColor).Add(m_bAutoMargin);
    // An automatic margin is worked out again on every pass.
    if (!m_bAutoMargin) key.Add(m_iMarginSize);
    m_TickFont.AddToLayerKey(key);
    m_pAxisGrid->AddToLayerKey(key);
    m_pAxisLabel->AddToLayerKey(key);
}

// ---- Appearance and series ------------------------------------------------------------------

void CChartAxis::SetVisible(bool visible) {
    m_bIsVisible = visible;
    RefreshCtrl();
}

void CChartAxis::SetInverted(bool inverted) {
    m_bIsInverted = inverted;
    RefreshScrollBar();
    RefreshCtrl();
}

void CChartAxis::SetTickLabelFont(int pointSizeTenths, const QString& face) {
    m_nFontSize = pointSizeTenths;
    m_strFontName = face;
    m_TickFont.SetFont(face, pointSizeTenths);
    RefreshCtrl();
}

void CChartAxis::SetTextColor(qtmchart::ColorRef color) {
    m_TextColor = color;
    RefreshCtrl();
}

void CChartAxis::SetAxisColor(qtmchart::ColorRef color) {
    m_AxisColor = color;
    RefreshCtrl();
}

void CChartAxis::SetMarginSize(bool automatic, int margin) {
    m_bAutoMargin = automatic;
    m_iMarginSize = margin;
    RefreshCtrl();
}

void CChartAxis::RegisterSerie(CChartSerie* serie) {
    if (serie == nullptr) return;
    if (std::find(m_vSeries.begin(), m_vSeries.end(), serie) == m_vSeries.end()) {
        m_vSeries.push_back(serie);
    }
}

void CChartAxis::UnregisterSerie(CChartSerie* serie) {
    const auto it = std::find(m_vSeries.begin(), m_vSeries.end(), serie);
    if (it != m_vSeries.end()) m_vSeries.erase(it);
}
