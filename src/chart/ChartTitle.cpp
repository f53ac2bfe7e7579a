#include "chart/ChartTitle.h"

#include <QPainter>

#include "chart/ChartCtrl.h"
#include "chart/ChartLayoutMath.h"

CChartTitle::CChartTitle(CChartCtrl* parent)
    : m_pParentCtrl(parent),
      m_bIsVisible(true),
      m_Font(QStringLiteral("Microsoft Sans Serif"), 100),
      m_Color(0),
      m_TitleRect() {}

CChartTitle::~CChartTitle() = default;

void CChartTitle::RefreshCtrl() const {
    if (m_pParentCtrl != nullptr) m_pParentCtrl->RefreshCtrl();
}

void CChartTitle::AddString(const QString& text) {
    m_StringArray.push_back(text);
    RefreshCtrl();
}

void CChartTitle::RemoveAll() {
    m_StringArray.clear();
    RefreshCtrl();
}

QString CChartTitle::GetString(size_t index) const {
    return index < m_StringArray.size() ? m_StringArray[index] : QString();
}

void CChartTitle::SetColor(qtmchart::ColorRef color) {
    m_Color = color;
    RefreshCtrl();
}

void CChartTitle::SetVisible(bool visible) {
    m_bIsVisible = visible;
    RefreshCtrl();
}

void CChartTitle::SetFont(int pointSizeTenths, const QString& face) {
    m_Font.SetFont(face, pointSizeTenths);
    RefreshCtrl();
}

void CChartTitle::SetLineFont(size_t line, const ChartFont& font) {
    m_mapLineFonts[line] = font;
    RefreshCtrl();
}

ChartFont& CChartTitle::FontOfLine(size_t line) {
    const auto it = m_mapLineFonts.find(line);
    return it != m_mapLineFonts.end() ? it->second : m_Font;
}

std::vector<QSize> CChartTitle::LineExtents(QPainter* dc) {
    std::vector<QSize> extents;
    extents.reserve(m_StringArray.size());
    for (size_t i = 0; i < m_StringArray.size(); ++i) {
        extents.push_back(FontOfLine(i).TextExtent(dc, m_StringArray[i]));
    }
    return extents;
}

QSize CChartTitle::GetSize(QPainter* dc) {
    QSize size(0, 0);
    if (m_bIsVisible && !m_StringArray.empty()) size = qtmchart::TitleSize(LineExtents(dc));
    m_TitleRect.bottom = m_TitleRect.top + size.height();
    return size;
}

void CChartTitle::Draw(QPainter* dc) {
    if (!m_bIsVisible || dc == nullptr || m_StringArray.empty()) return;
    const std::vector<QSize> extents = LineExtents(dc);
    const std::vector<int> tops = qtmchart::TitleLineTops(m_TitleRect.top, extents);
    dc->save();
    dc->setBackgroundMode(Qt::TransparentMode);
    dc->setPen(qtmchart::ToQColor(m_Color));
    for (size_t i = 0; i < m_StringArray.size(); ++i) {
        const int x = qtmchart::TitleLineLeft(m_TitleRect, extents[i].width());
        FontOfLine(i).DrawTextAt(dc, x, tops[i], m_StringArray[i]);
    }
    dc->restore();
}

void CChartTitle::AddToLayerKey(qtmchart::ChartLayerKey& key) const {
    key.Add(m_bIsVisible).Add(m_Color).Add(m_StringArray.size());
    for (const QString& line : m_StringArray)
        key.Add(line);
    m_Font.AddToLayerKey(key);
    key.Add(m_mapLineFonts.size());
    for (const auto& [line, font] : m_mapLineFonts) {
        key.Add(line);
        font.AddToLayerKey(key);
    }
}
