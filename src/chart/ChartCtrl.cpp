#include "chart/ChartCtrl.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QtMath>
#include <cstring>

#include "chart/ChartAxis.h"
#include "chart/ChartLegend.h"
#include "chart/ChartLineSerie.h"
#include "chart/ChartScrollBar.h"
#include "chart/ChartSerie.h"
#include "chart/ChartStandardAxis.h"
#include "chart/ChartTitle.h"

namespace {

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
    // Drawn at the screen's resolution: on a high-resolution screen lines and texts get
    // device pixels of their own instead of being enlarged from an image of widget pixels.
    const qreal ratio = devicePixelRatioF();
    const QSize pixels(qCeil(width() * ratio), qCeil(height() * ratio));
    // A hidden widget gets no resize event, so the size is checked here as well.
    if (m_BackgroundImage.isNull() || m_BackgroundImage.size() != pixels ||
        m_BackgroundImage.devicePixelRatio() != ratio) {
        m_BackgroundImage = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        m_BackgroundImage.setDevicePixelRatio(ratio);
    }
    // Only the series changed since the layer was drawn: its pixels go back as they were.
    BuildLayerKey(m_NextLayerKey, ratio);
    if (!m_LayerImage.isNull() && m_LayerImage.size() == pixels &&
        m_LayerImage.devicePixelRatio() == ratio && m_NextLayerKey == m_LayerKey) {
        std::memcpy(m_BackgroundImage.bits(), m_LayerImage.constBits(),
                    static_cast<std::size_t>(m_LayerImage.sizeInBytes()));
        m_LayerPass = LayerPass::Reuse;
    } else {
        m_LayerPass = LayerPass::Record;
    }
    {
        QPainter dc(&m_BackgroundImage);
        DrawBackground(&dc, client);
        DrawChart(&dc,
                  ChartRect{client.left + 3, client.top + 3, client.right - 3, client.bottom - 3});
    }
    m_LayerPass = LayerPass::None;
    for (CChartAxis* axis : m_pAxes) {
        if (axis) axis->UpdateScrollBarPos();
    }
    update();
}

void CChartCtrl::InvalidateLayer() {
    m_LayerKey.Clear();
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

void CChartCtrl::paintEvent(QPaintEvent*) {
    if (!m_bPaintedOnce) {
        m_bPaintedOnce = true;
        RefreshCtrl();
    } else if (!m_BackgroundImage.isNull() &&
               m_BackgroundImage.devicePixelRatio() != devicePixelRatioF()) {
        // The window went to a screen of another resolution: drawn again for that one.
        RefreshCtrl();
    }
    QPainter dc(this);
    if (m_BackgroundImage.isNull() || m_BackgroundImage.deviceIndependentSize() != QSizeF(size())) {
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
