// The scroll bar of an axis. No axis enables it, so it stays hidden, but its range and
// position follow the axis so that enabling it later would show the right thing.
#pragma once

#include <QScrollBar>

#include "chart/ChartRect.h"

class CChartAxis;

class CChartScrollBar : public QScrollBar {
    Q_OBJECT
public:
    // Created as a hidden child of `owner` (the chart control).
    CChartScrollBar(CChartAxis* axis, QWidget* owner, bool horizontal);
    ~CChartScrollBar() override;

    CChartAxis* GetAxis() const { return m_pParentAxis; }

    // Scroll information with the usual meaning: positions lo..hi, a page of `page` steps,
    // the position at most hi - page + 1.
    void SetScrollInfo(int lo, int hi, int page, int position);
    void GetScrollRange(int& lo, int& hi) const;
    int GetScrollPos() const { return m_nPos; }
    int GetPage() const { return m_nPage; }
    void SetScrollPos(int position);

    void SetEnabled(bool enabled);
    bool IsScrollEnabled() const { return m_bEnabled; }
    void SetAutoHide(bool autoHide);
    bool IsAutoHide() const { return m_bAutoHide; }

    // Moves the bar along the inside of the plotting rectangle on its axis' side.
    void Place(const qtmchart::ChartRect& plottingRect, int position);

protected:
    void changeEvent(QEvent* event) override;

private:
    void ApplyVisibility();

    CChartAxis* m_pParentAxis;
    bool m_bEnabled;
    bool m_bAutoHide;
    int m_nMin;
    int m_nMax;
    int m_nPage;
    int m_nPos;
    // Where the bar was last placed: every refresh places it, nearly always where it was,
    // and asking the style for its thickness each time is most of a refresh's cost.
    qtmchart::ChartRect m_PlacedIn;
    int m_nPlacedAt = -1;
};
