// Layout and drawing of CChartAxis: the room it takes, its line, ticks, labels, caption and
// grid. The numbers come from ChartAxisMath; this file only paints them.
#include <QPainter>
#include <algorithm>

#include "chart/ChartAxis.h"
#include "chart/ChartAxisLabel.h"
#include "chart/ChartCtrl.h"
#include "chart/ChartFont.h"
#include "chart/ChartGrid.h"
#include "chart/ChartPixelLines.h"

using qtmchart::ChartRect;

void CChartAxis::SetAxisSize(const ChartRect& chartRect, const ChartRect& plottingRect) {
    qtmchart::AxisSpanAndRect(GetPosition(), chartRect, plottingRect, m_StartPos, m_EndPos,
                              m_AxisRect);
}

void CChartAxis::SetStartEndPixels(int startPixel, int endPixel) {
    m_StartPos = startPixel;
    m_EndPos = endPixel;
}

QSize CChartAxis::GetLargestTick(QPainter* dc) {
    if (m_MaxValue == m_MinValue) return m_TickFont.TextExtent(dc, GetTickLabel(m_MinValue));
    int width = 0;
    int height = 0;
    double tick = GetFirstTickValue();
    for (int count = 0; count < qtmchart::kMaxTicks; ++count) {
        if (IsLabelInAxis(tick)) {
            const QSize extent = m_TickFont.TextExtent(dc, GetTickLabel(tick));
            width = std::max(width, extent.width());
            height = std::max(height, extent.height());
        }
        double next = 0.0;
        // A step too small to change the value would never reach the maximum.
        if (!GetNextTickValue(tick, next) || !(next > tick)) break;
        tick = next;
    }
    return QSize(width, height);
}

int CChartAxis::ClipMargin(const ChartRect& chartRect, ChartRect& plottingRect, QPainter* dc) {
    if (!m_bIsVisible) return 0;
    const QSize largest = GetLargestTick(dc);
    const QSize caption = m_pAxisLabel->GetSize(dc);
    int room = m_iMarginSize;
    if (m_bAutoMargin) {
        room = qtmchart::AxisRoom(m_bIsHorizontal, largest, caption);
        m_iMarginSize = room;
    }
    qtmchart::ClipPlotForAxis(GetPosition(), room, largest, chartRect, plottingRect);
    return room;
}

void CChartAxis::DrawTick(QPainter* dc, double value, int captionWidth) {
    const QString label = GetTickLabel(value);
    const QSize extent = m_TickFont.TextExtent(dc, label);
    const int tickPixel = GetTickPos(value);
    const int anchor = ValueToScreen(value);
    const int position = GetPosition();
    const qtmchart::AxisScale scale = Scale();

    if (qtmchart::IsPixelOnAxis(scale, tickPixel)) {
        const qtmchart::TickMark mark = qtmchart::TickMarkFor(position, m_AxisRect, tickPixel);
        qtmchart::DrawPixelLine(dc, qtmchart::ToQColor(m_AxisColor), mark.from, mark.to);
    }
    if (qtmchart::IsPixelOnAxis(scale, anchor)) {
        const QPoint origin =
            qtmchart::TickLabelOrigin(position, m_AxisRect, anchor, extent, captionWidth);
        dc->setPen(qtmchart::ToQColor(m_TextColor));
        m_TickFont.DrawTextAt(dc, origin.x(), origin.y(), label);
    }
    m_pAxisGrid->AddTick(tickPixel);
}

void CChartAxis::Draw(QPainter* dc) {
    if (!m_bIsVisible || dc == nullptr) return;
    dc->save();
    dc->setFont(m_TickFont.GetQFont());
    dc->setBackgroundMode(Qt::TransparentMode);

    // Axis line, one pixel inside the axis rectangle on the plotting side. The end pixel is
    // left out, as the ticks' own ends are.
    const QColor axisColour = qtmchart::ToQColor(m_AxisColor);
    const int toward = m_EndPos >= m_StartPos ? 1 : -1;
    const int last = m_EndPos == m_StartPos ? m_EndPos : m_EndPos - toward;
    if (m_bIsHorizontal) {
        const int y = m_bIsSecondary ? m_AxisRect.bottom - 1 : m_AxisRect.top + 1;
        qtmchart::DrawPixelLine(dc, axisColour, QPoint(m_StartPos, y), QPoint(last, y));
    } else {
        const int x = m_bIsSecondary ? m_AxisRect.left + 1 : m_AxisRect.right - 1;
        qtmchart::DrawPixelLine(dc, axisColour, QPoint(x, m_StartPos), QPoint(x, last));
    }

    // Caption.
    const QSize caption = m_pAxisLabel->GetSize(dc);
    const QSize largest = GetLargestTick(dc);
    const QPoint origin = qtmchart::CaptionOrigin(GetPosition(), m_AxisRect, m_StartPos, m_EndPos,
                                                  caption, largest.height());
    m_pAxisLabel->SetLabelRect(ChartRect{origin.x(), origin.y(), origin.x() + caption.width(),
                                         origin.y() + caption.height()});
    m_pAxisLabel->Draw(dc);
    dc->setFont(m_TickFont.GetQFont());

    // Ticks and their labels.
    m_pAxisGrid->ClearTicks();
    if (m_MaxValue == m_MinValue) {
        DrawTick(dc, m_MinValue, caption.width());
    } else {
        double tick = GetFirstTickValue();
        for (int count = 0; count < qtmchart::kMaxTicks; ++count) {
            DrawTick(dc, tick, caption.width());
            double next = 0.0;
            if (!GetNextTickValue(tick, next) || !(next > tick)) break;
            tick = next;
        }
    }

    if (m_pAxisGrid->IsVisible() && m_pParentCtrl != nullptr) {
        m_pAxisGrid->Draw(dc, m_pParentCtrl->GetPlottingRect());
    }
    dc->restore();
}
