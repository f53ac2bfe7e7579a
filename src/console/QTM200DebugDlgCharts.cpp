// The live and fit charts and the expand/collapse layout of the main window.
#include <QKeySequence>
#include <QPushButton>
#include <algorithm>

#include "chart/ChartAxis.h"
#include "chart/ChartAxisLabel.h"
#include "chart/ChartCtrl.h"
#include "chart/ChartLegend.h"
#include "chart/ChartLineSerie.h"
#include "chart/ChartStandardAxis.h"
#include "chart/ChartTitle.h"
#include "console/ChartImageExport.h"
#include "console/DecimalText.h"
#include "console/QTM200DebugDlg.h"
#include "console/WindowGeometry.h"
#include "service/ModelCatalog.h"
#include "ui_QTM200DebugDlg.h"

namespace {

constexpr qtmchart::ColorRef kTitleBlue = 0xFF0000;
constexpr qtmchart::ColorRef kGradientTop = 0xFFFFFF;
constexpr qtmchart::ColorRef kGradientBottom = 0xFF7D7D;
constexpr int kLegendBottom = 3;
constexpr int kFitPoints = 50;

// The axis at a position, created the first time it is asked for.
CChartAxis* AxisAt(CChartCtrl* chart, int position) {
    if (CChartAxis* axis = chart->GetAxis(position)) return axis;
    return chart->CreateStandardAxis(position);
}

void PrepareChart(CChartCtrl* chart) {
    chart->EnableRefresh(false);
    chart->SetBackGradient(kGradientTop, kGradientBottom, CChartCtrl::VerticalGradient);
    // Docked at the bottom but never made visible: only the title shows.
    chart->GetLegend()->DockLegend(kLegendBottom);
    chart->GetLegend()->SetHorizontalMode(true);
    chart->EnableRefresh(true);
}

void SetAxis(CChartCtrl* chart, int position, double maximum, const QString& label,
             bool automatic) {
    CChartAxis* axis = AxisAt(chart, position);
    axis->SetMinMax(0, maximum);
    axis->GetLabel()->SetText(label);
    if (automatic) axis->SetAutomatic(true);
}

// Replaces the chart's series by one line through the first count points of x and y.
void DrawLine(CChartCtrl* chart, const std::vector<double>& x, const std::vector<double>& y,
              int count) {
    const unsigned n = static_cast<unsigned>(std::clamp<std::size_t>(
        count < 0 ? 0 : static_cast<std::size_t>(count), 0, std::min(x.size(), y.size())));
    chart->EnableRefresh(false);
    chart->RemoveAllSeries();
    auto* serie = new CChartLineSerie(chart);  // pen width 1, solid, not smoothed
    chart->AttachCustomSerie(serie);
    serie->SetSeriesOrdering(0);  // points stay in the order given
    serie->AddPoints(x.data(), y.data(), n);
    serie->SetWidth(1);
    chart->RefreshCtrl();
    chart->EnableRefresh(true);
}

}  // namespace

float CQTM200DebugDlg::LimitValue(const QString& text) {
    return static_cast<float>(qtm::DecimalNumber(text));
}

void CQTM200DebugDlg::SetLiveChartTitle() {
    CChartTitle* title = LiveChart()->GetTitle();
    title->RemoveAll();
    title->SetColor(kTitleBlue);
    title->AddString(QString::fromUtf8(qtm::TextsOfModel(m_strModel.toStdString()).chartTitle));
}

void CQTM200DebugDlg::SetUpCharts() {
    CChartCtrl* live = LiveChart();
    CChartCtrl* fit = FitChart();
    PrepareChart(live);
    PrepareChart(fit);

    SetLiveChartTitle();
    fit->GetTitle()->SetColor(kTitleBlue);
    fit->GetTitle()->AddString(QStringLiteral("Fit Wave"));

    UpdateData(true);
    // Y(Min) and Y(LowLimit) do not take part: both charts start from 0.
    SetAxis(live, CChartCtrl::BottomAxis, LimitValue(m_strXMax), QStringLiteral("x(No.)"), false);
    SetAxis(live, CChartCtrl::LeftAxis, LimitValue(m_strYMax), QStringLiteral("y(P)"), true);
    SetAxis(fit, CChartCtrl::BottomAxis, LimitValue(m_strXUpperLimit), QStringLiteral("x(No.)"),
            false);
    SetAxis(fit, CChartCtrl::LeftAxis, LimitValue(m_strYUpperLimit), QStringLiteral("y(Fit)"),
            true);

    OnChartTick();
}

// The chart is painted at once, and only the chart: the rest of the window has not changed,
// and repainting it all (the large readings included) ten times a second costs for nothing.
void CQTM200DebugDlg::RefreshLiveChart(int count) {
    DrawLine(LiveChart(), m_chart.LiveX, m_chart.LiveY, count);
    LiveChart()->repaint();
}

void CQTM200DebugDlg::RefreshFitChart() {
    DrawLine(FitChart(), m_chart.FitX, m_chart.FitY, kFitPoints);
    FitChart()->repaint();
}

void CQTM200DebugDlg::OnChartTick() {
    std::vector<double>& y = m_chart.LiveY;
    std::copy(y.begin() + 1, y.begin() + ChartBuffers::kRollingPoints, y.begin());
    // Nothing below zero enters the chart; a NaN from a garbled reply counts as zero too.
    if (!(m_fPower > 0.0f)) m_fPower = 0.0f;
    y[ChartBuffers::kRollingPoints - 1] = m_fPower;
    RefreshLiveChart(ChartBuffers::kRollingPoints);
}

void CQTM200DebugDlg::WireChartImages() {
    // The charts keep their right button for panning, so the entries are in the window's
    // context menu, beside About, and on keys of their own.
    m_chartImages = std::make_unique<ChartImageExport>(this, *m_prompts);
    m_chartImages->AddChart(LiveChart(), QStringLiteral("Save live chart image…"),
                            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L),
                            QStringLiteral("live-chart.png"));
    m_chartImages->AddChart(FitChart(), QStringLiteral("Save fit chart image…"),
                            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F),
                            QStringLiteral("fit-chart.png"));
}

void CQTM200DebugDlg::ToggleExpand() {
    if (m_bExpanded) {
        setFixedSize(qtm::CollapsedSize(m_rcWindow.size(), m_rcExpand));
        m_ui->btnExpand_1063->setText(QStringLiteral("︾"));
        m_bExpanded = false;
    } else {
        setFixedSize(m_rcWindow.size());
        m_ui->btnExpand_1063->setText(QStringLiteral("︽"));
        m_bExpanded = true;
    }
}
