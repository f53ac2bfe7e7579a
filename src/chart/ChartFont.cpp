#include "chart/ChartFont.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr const char* kDefaultFace = "Microsoft Sans Serif";
constexpr int kDefaultSize = 100;

QFontMetrics MetricsOn(QPainter* dc, const QFont& font) {
    // Measuring on the painter's device uses the image's resolution, so measured and drawn
    // sizes agree; without a painter the screen's resolution is the best guess.
    if (dc != nullptr && dc->device() != nullptr) return QFontMetrics(font, dc->device());
    return QFontMetrics(font);
}

}  // namespace

ChartFont::ChartFont() : ChartFont(QString::fromLatin1(kDefaultFace), kDefaultSize) {}

ChartFont::ChartFont(const QString& face, int pointSizeTenths, bool italic, bool bold,
                     bool underline)
    : m_strFaceName(face.left(kMaxFaceLength)),
      m_iPointSize(pointSizeTenths),
      m_bItalic(italic),
      m_bBold(bold),
      m_bUnderline(underline),
      m_bVertical(false),
      m_bDirty(true) {}

void ChartFont::SetFont(const QString& face, int pointSizeTenths, bool italic, bool bold,
                        bool underline) {
    m_strFaceName = face.left(kMaxFaceLength);
    m_iPointSize = pointSizeTenths;
    m_bItalic = italic;
    m_bBold = bold;
    m_bUnderline = underline;
    m_bDirty = true;
}

void ChartFont::SetVertical(bool vertical) {
    m_bVertical = vertical;
    m_bDirty = true;
}

void ChartFont::AddToLayerKey(qtmchart::ChartLayerKey& key) const {
    key.Add(m_strFaceName)
        .Add(m_iPointSize)
        .Add(m_bItalic)
        .Add(m_bBold)
        .Add(m_bUnderline)
        .Add(m_bVertical);
}

const QFont& ChartFont::GetQFont() {
    if (m_bDirty) {
        QFont font(m_strFaceName);
        // Sizes are tenths of a point; a size of 0 or less would make Qt complain, so the
        // smallest readable size stands in for it.
        font.setPointSizeF(m_iPointSize > 0 ? m_iPointSize / 10.0 : 1.0);
        font.setWeight(m_bBold ? QFont::Bold : QFont::Normal);
        font.setItalic(m_bItalic);
        font.setUnderline(m_bUnderline);
        m_Font = font;
        m_bDirty = false;
        m_TextCache.clear();  // measured in the old font
    }
    return m_Font;
}

ChartFont::CachedText& ChartFont::Measure(QPainter* dc, const QString& text) {
    const QFont& font = GetQFont();
    // Sizes depend on the resolution of the device they are measured for; -1 stands for "no
    // device", measured at the screen's resolution.
    const QPaintDevice* device = dc != nullptr ? dc->device() : nullptr;
    const int dpiX = device != nullptr ? device->logicalDpiX() : -1;
    const int dpiY = device != nullptr ? device->logicalDpiY() : -1;
    if (dpiX != m_iCacheDpiX || dpiY != m_iCacheDpiY) {
        m_TextCache.clear();
        m_iCacheDpiX = dpiX;
        m_iCacheDpiY = dpiY;
    }
    auto it = m_TextCache.find(text);
    if (it != m_TextCache.end()) return *it;
    // Labels change while the user pans or zooms; starting afresh keeps the cache small.
    if (m_TextCache.size() >= kMaxCachedTexts) m_TextCache.clear();
    const QFontMetrics fm = MetricsOn(dc, font);
    CachedText entry;
    entry.extent = QSize(fm.horizontalAdvance(text), fm.height());
    entry.layout.setTextFormat(Qt::PlainText);  // "<b>" in a caption is text, not markup
    entry.layout.setPerformanceHint(QStaticText::AggressiveCaching);
    entry.layout.setText(text);
    return *m_TextCache.insert(text, entry);
}

void ChartFont::SelectFont(QPainter* dc) {
    if (dc == nullptr) return;
    m_OldFont = dc->font();
    dc->setFont(GetQFont());
}

void ChartFont::UnselectFont(QPainter* dc) {
    if (dc == nullptr) return;
    dc->setFont(m_OldFont);
}

QSize ChartFont::TextExtent(QPainter* dc, const QString& text) {
    return Measure(dc, text).extent;
}

void ChartFont::DrawTextAt(QPainter* dc, int x, int y, const QString& text) {
    if (dc == nullptr) return;
    const CachedText& entry = Measure(dc, text);
    const QFont& font = GetQFont();
    const QFont previous = dc->font();
    dc->setFont(font);
    if (m_bVertical) {
        const QFontMetrics fm = MetricsOn(dc, font);
        // Turned a quarter left around the origin: the text runs upward and the tops of the
        // glyphs face left, so the origin stays the text's top-left corner in its own frame.
        dc->save();
        dc->translate(x, y);
        dc->rotate(-90);
        dc->drawText(0, fm.ascent(), text);
        dc->restore();
    } else {
        // The kept layout places the text's top-left corner at the point, as drawText does
        // with the baseline one ascent lower, without shaping the text again.
        dc->drawStaticText(x, y, entry.layout);
    }
    dc->setFont(previous);
}
