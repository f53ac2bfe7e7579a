#include "chart/ChartAxisLabel.h"

#include <QPainter>
#include <utility>

#include "chart/ChartCtrl.h"

CChartAxisLabel::CChartAxisLabel()
    : m_pParentCtrl(nullptr),
      m_bIsVisible(true),
      m_TextRect(),
      m_TextColor(0),
      m_bIsHorizontal(true),
      m_Font(QStringLiteral("Microsoft Sans Serif"), 100),
      m_strLabelText() {}

CChartAxisLabel::~CChartAxisLabel() = default;

void CChartAxisLabel::RefreshCtrl() const {
    if (m_pParentCtrl != nullptr) m_pParentCtrl->RefreshCtrl();
}

void CChartAxisLabel::SetHorizontal(bool horizontal) {
    m_bIsHorizontal = horizontal;
    m_Font.SetVertical(!horizontal);
}

void CChartAxisLabel::SetText(const QString& text) {
    m_strLabelText = text;
    RefreshCtrl();
}

void CChartAxisLabel::SetVisible(bool visible) {
    m_bIsVisible = visible;
    RefreshCtrl();
}

void CChartAxisLabel::SetColor(qtmchart::ColorRef color) {
    m_TextColor = color;
    RefreshCtrl();
}

void CChartAxisLabel::SetFont(int pointSizeTenths, const QString& face) {
    m_Font.SetFont(face, pointSizeTenths);
    RefreshCtrl();
}

void CChartAxisLabel::AddToLayerKey(qtmchart::ChartLayerKey& key) const {
    key.Add(m_bIsVisible).Add(m_TextColor).Add(m_bIsHorizontal).Add(m_strLabelText);
    m_Font.AddToLayerKey(key);
}

QSize CChartAxisLabel::GetSize(QPainter* dc) {
    if (!m_bIsVisible || m_strLabelText.isEmpty()) return QSize(0, 0);
    QSize extent = m_Font.TextExtent(dc, m_strLabelText);
    if (!m_bIsHorizontal) extent.transpose();
    return extent;
}

void CChartAxisLabel::Draw(QPainter* dc) {
    if (!m_bIsVisible || m_strLabelText.isEmpty() || dc == nullptr) return;
    dc->save();
    dc->setBackgroundMode(Qt::TransparentMode);
    dc->setPen(qtmchart::ToQColor(m_TextColor));
    if (m_bIsHorizontal) {
        m_Font.DrawTextAt(dc, m_TextRect.left, m_TextRect.top + 2, m_strLabelText);
    } else {
        m_Font.DrawTextAt(dc, m_TextRect.left + 2, m_TextRect.top, m_strLabelText);
    }
    dc->restore();
}
