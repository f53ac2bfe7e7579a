// The font description shared by axis captions and the title: face, size in tenths of a
// point, style and a vertical flag; it turns into a QFont on demand and draws text from its
// top-left corner (running upward for a vertical font).
#pragma once

#include <QFont>
#include <QSize>
#include <QString>

class QPainter;

class ChartFont {
public:
    static constexpr int kMaxFaceLength = 30;

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

    // The QFont for this description (made again only after a change).
    const QFont& GetQFont();

    // Makes this the painter's font and remembers the previous one for UnselectFont.
    void SelectFont(QPainter* dc);
    void UnselectFont(QPainter* dc);

    // Width and height of the text along its own baseline (not swapped for vertical fonts).
    QSize TextExtent(QPainter* dc, const QString& text);

    // Draws text with its top-left corner at (x, y); a vertical font runs upward from there.
    void DrawTextAt(QPainter* dc, int x, int y, const QString& text);

private:
    QString m_strFaceName;
    int m_iPointSize;
    bool m_bItalic;
    bool m_bBold;
    bool m_bUnderline;
    bool m_bVertical;
    QFont m_Font;
    bool m_bDirty;
    QFont m_OldFont;
};

// Text extent of a QFont on the painter's device (so the image's resolution is used).
QSize ChartTextExtent(QPainter* dc, const QFont& font, const QString& text);
// Draws horizontal text with its top-left corner at (x, y) in the painter's current font.
void ChartDrawText(QPainter* dc, int x, int y, const QString& text);
