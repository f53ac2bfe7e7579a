// The chart's title: lines of text centred above the plotting area, in one colour.
#pragma once

#include <QSize>
#include <QString>
#include <map>
#include <vector>

#include "chart/ChartColor.h"
#include "chart/ChartFont.h"
#include "chart/ChartRect.h"

class CChartCtrl;
class QPainter;

class CChartTitle {
public:
    explicit CChartTitle(CChartCtrl* parent);
    virtual ~CChartTitle();

    void AddString(const QString& text);
    void RemoveAll();
    size_t GetStringCount() const { return m_StringArray.size(); }
    QString GetString(size_t index) const;

    void SetColor(qtmchart::ColorRef color);
    qtmchart::ColorRef GetColor() const { return m_Color; }
    void SetVisible(bool visible);
    bool IsVisible() const { return m_bIsVisible; }
    void SetFont(int pointSizeTenths, const QString& face);
    ChartFont& GetFont() { return m_Font; }
    // A line with a font of its own.
    void SetLineFont(size_t line, const ChartFont& font);

    // Room the title takes; also sets the title rectangle's bottom to its top plus that height.
    QSize GetSize(QPainter* dc);
    void SetTitleRect(const qtmchart::ChartRect& rect) { m_TitleRect = rect; }
    qtmchart::ChartRect GetTitleRect() const { return m_TitleRect; }
    void Draw(QPainter* dc);
    // Lines, fonts, colour and visibility: everything the title's pixels depend on.
    void AddToLayerKey(qtmchart::ChartLayerKey& key) const;

private:
    ChartFont& FontOfLine(size_t line);
    std::vector<QSize> LineExtents(QPainter* dc);
    void RefreshCtrl() const;

    CChartCtrl* m_pParentCtrl;
    std::vector<QString> m_StringArray;
    std::map<size_t, ChartFont> m_mapLineFonts;
    bool m_bIsVisible;
    ChartFont m_Font;
    qtmchart::ColorRef m_Color;
    qtmchart::ChartRect m_TitleRect;
};
