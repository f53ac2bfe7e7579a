// The caption of a chart axis ("x(No.)", "y(P)"): its text, font and colour; drawn rotated to
// run upward beside a vertical axis.
#pragma once

#include <QSize>
#include <QString>

#include "chart/ChartColor.h"
#include "chart/ChartFont.h"
#include "chart/ChartRect.h"

class CChartCtrl;
class QPainter;

class CChartAxisLabel {
public:
    CChartAxisLabel();
    virtual ~CChartAxisLabel();

    void SetParent(CChartCtrl* parent) { m_pParentCtrl = parent; }
    // Follows the axis: a vertical axis gets a vertical font.
    void SetHorizontal(bool horizontal);
    bool IsHorizontal() const { return m_bIsHorizontal; }

    void SetText(const QString& text);
    QString GetText() const { return m_strLabelText; }
    void SetVisible(bool visible);
    bool IsVisible() const { return m_bIsVisible; }
    void SetColor(qtmchart::ColorRef color);
    qtmchart::ColorRef GetColor() const { return m_TextColor; }
    void SetFont(int pointSizeTenths, const QString& face);
    ChartFont& GetFont() { return m_Font; }

    // Size on screen (width and height swapped for a vertical caption); 0 x 0 when
    // invisible or without text.
    QSize GetSize(QPainter* dc);
    void SetLabelRect(const qtmchart::ChartRect& rect) { m_TextRect = rect; }
    qtmchart::ChartRect GetLabelRect() const { return m_TextRect; }
    // Everything the caption's pixels depend on besides its place.
    void AddToLayerKey(qtmchart::ChartLayerKey& key) const;
    // Draws at the label rectangle's top-left corner.
    void Draw(QPainter* dc);

private:
    void RefreshCtrl() const;

    CChartCtrl* m_pParentCtrl;
    bool m_bIsVisible;
    qtmchart::ChartRect m_TextRect;
    qtmchart::ColorRef m_TextColor;
    bool m_bIsHorizontal;
    ChartFont m_Font;
    QString m_strLabelText;
};
