// The statistics of the run and of what the live chart shows: fed by every reading that goes
// in and by the chart's ticks, shown in a small window beside the chart.
#include <QAction>
#include <QCheckBox>
#include <QScreen>

#include "chart/ChartAxis.h"
#include "chart/ChartCtrl.h"
#include "console/QTM200DebugDlg.h"
#include "console/StatisticsWindow.h"
#include "ui_QTM200DebugDlg.h"

namespace {

const QString kStatisticsText = QStringLiteral("Statistics…");

}  // namespace

void CQTM200DebugDlg::WireStatistics() {
    m_analysis = std::make_unique<ReadingAnalysis>(ChartBuffers::kLiveSize);
    m_records.AddListener({[this](const qtm::MeasurementRecord& record, qtm::RowOrigin origin) {
                               const std::size_t index = m_records.Count() - 1;
                               m_analysis->Added(index, record.power,
                                                 m_records.Details().TimeOf(index), origin);
                           },
                           [this] { m_analysis->Cleared(); }});
    // After the chart's own handlers (connected first), so the points follow what it drew.
    connect(&m_timer1, &QTimer::timeout, this,
            [this] { m_analysis->ChartTicked(ChartBuffers::kRollingPoints); });
    connect(m_ui->chkAutoY_1039, &QCheckBox::clicked, this,
            [this] { m_analysis->ChartRestarted(ChartBuffers::kRollingPoints); });

    auto* separator = new QAction(this);
    separator->setSeparator(true);
    addAction(separator);
    auto* show = new QAction(kStatisticsText, this);
    show->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    show->setShortcutContext(Qt::WindowShortcut);
    connect(show, &QAction::triggered, this, [this] { ShowStatistics(); });
    addAction(show);
}

ChartXRange CQTM200DebugDlg::LiveChartXRange() const {
    ChartXRange range;
    const CChartAxis* axis = LiveChart() ? LiveChart()->GetBottomAxis() : nullptr;
    if (!axis) return range;
    axis->GetMinMax(range.low, range.high);
    double low = 0;
    double high = 0;
    axis->GetSavedMinMax(low, high);
    // A zoom or a pan moves the range away from the one the window set.
    range.zoomed = low != range.low || high != range.high;
    return range;
}

QString CQTM200DebugDlg::StatisticsText() const {
    return QString::fromStdString(StatisticsReport(*m_analysis, m_records.Records(),
                                                   m_records.Details(), LiveChartXRange(),
                                                   m_strModel.toStdString()));
}

void CQTM200DebugDlg::ShowStatistics() {
    if (!m_statistics) {
        m_statistics = new StatisticsWindow([this] { return StatisticsText(); }, this);
        m_statistics->Refresh();  // its size follows its table
        m_statistics->move(StatisticsPlace(m_statistics->frameGeometry().size()));
    }
    m_statistics->show();
    m_statistics->raise();
    m_statistics->activateWindow();
}

QPoint CQTM200DebugDlg::StatisticsPlace(QSize size) const {
    const QRect window = frameGeometry();
    const QRect chart(LiveChart()->mapToGlobal(QPoint(0, 0)), LiveChart()->size());
    const QScreen* screen = this->screen();
    if (!screen) return window.topRight();
    const QRect area = screen->availableGeometry();
    constexpr int kGap = 8;
    // Beside the window at the chart's height, else under the window below the chart, else
    // on its other side: wherever it covers nothing of the window.
    const QPoint candidates[] = {
        {window.right() + kGap, chart.top()},
        {chart.right() - size.width(), window.bottom() + kGap},
        {window.left() - kGap - size.width(), chart.top()},
    };
    for (QPoint at : candidates) {
        at.setY(std::min(at.y(), area.bottom() - size.height()));
        if (area.contains(QRect(at, size))) return at;
    }
    // No room around the window: over its lower part, away from the chart and the list.
    return {std::max(area.left(), window.left()),
            std::max(area.top(), window.bottom() - size.height())};
}
