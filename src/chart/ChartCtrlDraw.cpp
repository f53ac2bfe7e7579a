// The drawing pass of CChartCtrl: background, title, axes, grid, frame, series and legend, and
// the layer behind the series that a refresh keeps while only the series change.
#include <QLinearGradient>
#include <QPainter>
#include <cstring>
#include <utility>

#include "chart/ChartAxis.h"
#include "chart/ChartCtrl.h"
#include "chart/ChartLegend.h"
#include "chart/ChartPixelLines.h"
#include "chart/ChartSerie.h"
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

}  // namespace

void CChartCtrl::DrawBackground(QPainter* dc, ChartRect rect) {
    const bool whole = IsOwnImage(dc) && rect == ChartRect{0, 0, width(), height()};
    if (m_LayerPass == LayerPass::Reuse) {
        if (whole) {
            m_LayerPass = LayerPass::Reused;  // RefreshCtrl has put it there
            return;
        }
        m_LayerPass = LayerPass::NoRecord;
    } else if (m_LayerPass == LayerPass::Record && !whole) {
        m_LayerPass = LayerPass::NoRecord;
    }
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
    if (m_LayerPass == LayerPass::Reused && IsOwnImage(dc) && rect == m_LayerChartArea) {
        // Laid out from the same key: the axes still hold the spans of that pass.
        m_PlottingRect = m_LayerPlottingRect;
    } else {
        DrawChartLayer(dc, rect);
        if (m_LayerPass == LayerPass::Record && IsOwnImage(dc)) {
            m_LayerChartArea = rect;
            SaveLayer();
        }
    }
    m_LayerPass = LayerPass::None;
    DrawChartData(dc);
}

void CChartCtrl::DrawChartLayer(QPainter* dc, ChartRect rect) {
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
    const ChartRect& p = m_PlottingRect;
    const QPoint frame[5] = {{p.left, p.top},
                             {p.right, p.top},
                             {p.right, p.bottom},
                             {p.left, p.bottom},
                             {p.left, p.top}};
    qtmchart::DrawPixelPolyline(dc, qtmchart::ToQColor(m_BorderColor), frame, 5);
    dc->restore();
}

void CChartCtrl::DrawChartData(QPainter* dc) {
    const ChartRect& p = m_PlottingRect;
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

void CChartCtrl::BuildLayerKey(qtmchart::ChartLayerKey& key, qreal ratio) const {
    key.Clear();
    key.Add(width()).Add(height()).Add(ratio);
    key.Add(m_bBackGradient)
        .Add(m_BackGradientCol1)
        .Add(m_BackGradientCol2)
        .Add(m_BackGradientType);
    key.Add(m_BackColor).Add(m_BorderColor).Add(m_EdgeType);
    if (m_pTitle) m_pTitle->AddToLayerKey(key);
    if (m_pLegend) m_pLegend->AddToLayerKey(key);
    for (const CChartAxis* axis : m_pAxes) {
        key.Add(axis != nullptr);
        if (axis) axis->AddToLayerKey(key);
    }
}

bool CChartCtrl::IsOwnImage(const QPainter* dc) const {
    return dc != nullptr && dc->device() == &m_BackgroundImage;
}

void CChartCtrl::SaveLayer() {
    // Read while the refresh's painter is still open: the raster engine draws straight into
    // the image's memory, so what is there now is the layer.
    if (m_LayerImage.size() != m_BackgroundImage.size() ||
        m_LayerImage.format() != m_BackgroundImage.format()) {
        m_LayerImage = QImage(m_BackgroundImage.size(), m_BackgroundImage.format());
    }
    m_LayerImage.setDevicePixelRatio(m_BackgroundImage.devicePixelRatio());
    std::memcpy(m_LayerImage.bits(), m_BackgroundImage.constBits(),
                static_cast<std::size_t>(m_BackgroundImage.sizeInBytes()));
    std::swap(m_LayerKey, m_NextLayerKey);
    m_LayerPlottingRect = m_PlottingRect;
    ++m_nLayerDraws;
}

void CChartCtrl::RenderTo(QPainter* painter) {
    if (painter == nullptr || width() <= 0 || height() <= 0) return;
    const ChartRect client{0, 0, width(), height()};
    m_LayerPass = LayerPass::None;
    painter->save();
    DrawBackground(painter, client);
    DrawChart(painter,
              ChartRect{client.left + 3, client.top + 3, client.right - 3, client.bottom - 3});
    painter->restore();
    // That pass laid the chart out for the painter's device; the image on screen and the
    // points added to it later must follow the layout of the chart's own image again.
    InvalidateLayer();
    RefreshCtrl();
}
