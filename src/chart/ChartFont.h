// The font description shared by tick labels, axis captions, the title and the legend: face,
// size in tenths of a point, style and a vertical flag; it turns into a QFont on demand,
// measures text and draws it from its top-left corner (running upward for a vertical font).
#pragma once

#include <QFont>
#include <QHash>
#include <QSize>
#include <QStaticText>
#include <QString>

#include "chart/ChartLayerKey.h"

class QPainter;

class ChartFont {
public:
    static constexpr int kMaxFaceLength = 30;
    // Texts whose size and glyph layout are kept between drawings; a chart redraws the same
    // few dozen labels on every refresh, and shaping them again is most of the text cost.
    static constexpr int kMaxCachedTexts = 256;

    ChartFont();
    ChartFont(const QString& face, int pointSizeTenths, bool italic = false, bool bold = false,
              bool underline = false);

    void SetFont(const QString& face, int pointSizeTenths, bool italic = false, bool bold = false,
                 bool underline = false);
    void SetVertical(bool vertical);
    // Forces the QFont to be made again on the next selection.
    void SetDirty() { m_bDirty = true; }

    QString GetFaceName() const { return m_strFaceName; }
    int GetSize() const { return m_iPointSize; }
    bool IsItalic() const { return m_bItalic; }
    bool IsBold() const { return m_bBold; }
    bool IsUnderline() const { return m_bUnderline; }
    bool IsVertical() const { return m_bVertical; }

    // Face, size and style: what the text drawn in this font looks like.
    void AddToLayerKey(qtmchart::ChartLayerKey& key) const;

    // The QFont for this description (made again only after a change).
    const QFont& GetQFont();
    // Number of texts whose measurements are kept at the moment.
    int CachedTextCount() const { return static_cast<int>(m_TextCache.size()); }

    // Makes this the painter's font and remembers the previous one for UnselectFont.
    void SelectFont(QPainter* dc);
    void UnselectFont(QPainter* dc);

    // Width and height of the text along its own baseline (not swapped for vertical fonts).
    QSize TextExtent(QPainter* dc, const QString& text);

    // Draws text with its top-left corner at (x, y); a vertical font runs upward from there.
    void DrawTextAt(QPainter* dc, int x, int y, const QString& text);

private:
    struct CachedText {
        QSize extent;
        QStaticText layout;
    };
    // The measurements of a text on the painter's device, from the cache when they are there.
    CachedText& Measure(QPainter* dc, const QString& text);

    QString m_strFaceName;
    int m_iPointSize;
    bool m_bItalic;
    bool m_bBold;
    bool m_bUnderline;
    bool m_bVertical;
    QFont m_Font;
    bool m_bDirty;
    QFont m_OldFont;
    QHash<QString, CachedText> m_TextCache;
    int m_iCacheDpiX = 0;  // resolution the cached sizes were measured at
    int m_iCacheDpiY = 0;
};
