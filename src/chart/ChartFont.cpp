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

QSize ChartTextExtent(QPainter* dc, const QFont& font, const QString& text) {
    const QFontMetrics fm = MetricsOn(dc, font);
    return QSize(fm.horizontalAdvance(text), fm.height());
}

void ChartDrawText(QPainter* dc, int x, int y, const QString& text) {
    const QFontMetrics fm = MetricsOn(dc, dc->font());
    dc->drawText(x, y + fm.ascent(), text);
}

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
    }
    return m_Font;
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
    return ChartTextExtent(dc, GetQFont(), text);
}

void ChartFont::DrawTextAt(QPainter* dc, int x, int y, const QString& text) {
    if (dc == nullptr) return;
    const QFont& font = GetQFont();
    const QFontMetrics fm = MetricsOn(dc, font);
    const QFont previous = dc->font();
    dc->setFont(font);
    if (m_bVertical) {
        // Turned a quarter left around the origin: the text runs upward and the tops of the
        // glyphs face left, so the origin stays the text's top-left corner in its own frame.
        dc->save();
        dc->translate(x, y);
        dc->rotate(-90);
        dc->drawText(0, fm.ascent(), text);
        dc->restore();
    } else {
        dc->drawText(x, y + fm.ascent(), text);
    }
    dc->setFont(previous);
}
