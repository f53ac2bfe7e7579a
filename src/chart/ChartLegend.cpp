#include "chart/ChartLegend.h"

#include <QPainter>

#include "chart/ChartCtrl.h"
#include "chart/ChartFont.h"
#include "chart/ChartPixelLines.h"
#include "chart/ChartSerie.h"

using qtmchart::ChartRect;

CChartLegend::CChartLegend(CChartCtrl* parent)
    : m_pParentCtrl(parent),
      m_LegendRect(),
      m_strFontName(QStringLiteral("Times New Roman")),
      m_iFontSize(100),
      m_Font(m_strFontName, m_iFontSize),
      m_bDocked(true),
      m_DockSide(dsDockRight),
      m_iLeftPos(0),
      m_iTopPos(0),
      m_bIsVisible(false),
      m_bIsTransparent(false),
      m_bIsHorizontal(false),
      m_bShadow(true),
      m_iShadowDepth(3),
      m_BackColor(0xFFFFFF),
      m_ShadowColor(0x000000),
      m_iSampleWidth(16),
      m_iSampleHeight(16) {}

CChartLegend::~CChartLegend() = default;

void CChartLegend::RefreshCtrl() const {
    if (m_pParentCtrl != nullptr) m_pParentCtrl->RefreshCtrl();
}

void CChartLegend::DockLegend(int side) {
    m_bDocked = true;
    m_DockSide = side;
    RefreshCtrl();
}

void CChartLegend::UndockLegend(int left, int top) {
    m_bDocked = false;
    m_iLeftPos = left;
    m_iTopPos = top;
    RefreshCtrl();
}

void CChartLegend::SetVisible(bool visible) {
    m_bIsVisible = visible;
    RefreshCtrl();
}

void CChartLegend::SetHorizontalMode(bool horizontal) {
    m_bIsHorizontal = horizontal;
    RefreshCtrl();
}

void CChartLegend::SetTransparent(bool transparent) {
    m_bIsTransparent = transparent;
    RefreshCtrl();
}

void CChartLegend::SetShadow(bool shadow) {
    m_bShadow = shadow;
    RefreshCtrl();
}

void CChartLegend::SetShadowDepth(int depth) {
    m_iShadowDepth = depth;
    RefreshCtrl();
}

void CChartLegend::SetBackgroundColor(qtmchart::ColorRef color) {
    m_BackColor = color;
    RefreshCtrl();
}

void CChartLegend::SetShadowColor(qtmchart::ColorRef color) {
    m_ShadowColor = color;
    RefreshCtrl();
}

void CChartLegend::SetFont(int pointSizeTenths, const QString& face) {
    m_iFontSize = pointSizeTenths;
    m_strFontName = face;
    m_Font.SetFont(face, pointSizeTenths);
    RefreshCtrl();
}

void CChartLegend::SetSampleSize(int width, int height) {
    m_iSampleWidth = width;
    m_iSampleHeight = height;
    RefreshCtrl();
}

std::vector<CChartSerie*> CChartLegend::ListedSeries() const {
    std::vector<CChartSerie*> listed;
    if (m_pParentCtrl == nullptr) return listed;
    // The control's map iterates in id order, which is the order of creation.
    for (const auto& [id, serie] : m_pParentCtrl->GetSeries()) {
        if (serie != nullptr && serie->IsVisible() && !serie->GetName().isEmpty()) {
            listed.push_back(serie);
        }
    }
    return listed;
}

std::vector<QSize> CChartLegend::NameExtents(QPainter* dc,
                                             const std::vector<CChartSerie*>& series) {
    std::vector<QSize> extents;
    extents.reserve(series.size());
    for (const CChartSerie* serie : series) {
        extents.push_back(m_Font.TextExtent(dc, serie->GetName()));
    }
    return extents;
}

void CChartLegend::AddToLayerKey(qtmchart::ChartLayerKey& key) const {
    key.Add(m_bIsVisible);
    if (!m_bIsVisible) return;
    key.Add(m_bDocked).Add(m_DockSide).Add(m_iLeftPos).Add(m_iTopPos).Add(m_bIsHorizontal);
    key.Add(m_iSampleWidth).Add(m_iSampleHeight);
    m_Font.AddToLayerKey(key);
    const std::vector<CChartSerie*> listed = ListedSeries();
    key.Add(listed.size());
    for (const CChartSerie* serie : listed)
        key.Add(serie->GetName());
}

void CChartLegend::ClipArea(QPainter* dc, ChartRect& chartRect) {
    m_LegendRect = ChartRect{};
    if (!m_bIsVisible) return;
    const QSize size = qtmchart::LegendSize(
        NameExtents(dc, ListedSeries()), QSize(m_iSampleWidth, m_iSampleHeight), m_bIsHorizontal);
    m_LegendRect =
        qtmchart::LegendRect(size, chartRect, m_bDocked, m_DockSide, m_iLeftPos, m_iTopPos);
    chartRect = qtmchart::ChartRectBesideLegend(chartRect, m_LegendRect, m_bDocked, m_DockSide);
}

void CChartLegend::Draw(QPainter* dc) {
    if (!m_bIsVisible || dc == nullptr || m_LegendRect.IsEmpty()) return;
    const std::vector<CChartSerie*> series = ListedSeries();
    const std::vector<QSize> extents = NameExtents(dc, series);
    const ChartRect& r = m_LegendRect;

    dc->save();
    if (m_bShadow) {
        const ChartRect shadow{r.left + m_iShadowDepth, r.top + m_iShadowDepth,
                               r.right + m_iShadowDepth, r.bottom + m_iShadowDepth};
        dc->fillRect(shadow.ToQRect(), qtmchart::ToQColor(m_ShadowColor));
    }
    if (!m_bIsTransparent) dc->fillRect(r.ToQRect(), qtmchart::ToQColor(m_BackColor));
    const QPoint border[5] = {QPoint(r.left, r.top), QPoint(r.right, r.top),
                              QPoint(r.right, r.bottom), QPoint(r.left, r.bottom),
                              QPoint(r.left, r.top)};
    qtmchart::DrawPixelPolyline(dc, Qt::black, border, 5);

    dc->setBackgroundMode(Qt::TransparentMode);
    dc->setFont(m_Font.GetQFont());
    const std::vector<qtmchart::LegendEntryPlace> places = qtmchart::LegendEntryPlaces(
        r, extents, QSize(m_iSampleWidth, m_iSampleHeight), m_bIsHorizontal);
    for (size_t i = 0; i < series.size() && i < places.size(); ++i) {
        dc->setPen(Qt::black);
        m_Font.DrawTextAt(dc, places[i].textLeft, places[i].textTop, series[i]->GetName());
        dc->save();
        series[i]->DrawLegend(dc, places[i].sample);
        dc->restore();
    }
    dc->restore();
}
