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
        // First beside the live chart, on the screen.
        const QRect chart(LiveChart()->mapToGlobal(QPoint(0, 0)), LiveChart()->size());
        QPoint at(chart.right() + 12, chart.top());
        if (const QScreen* screen = this->screen()) {
            const QRect area = screen->availableGeometry();
            if (at.x() + m_statistics->width() > area.right())
                at.setX(std::max(area.left(), chart.left() - m_statistics->width() - 12));
            at.setY(std::clamp(at.y(), area.top(),
                               std::max(area.top(), area.bottom() - m_statistics->height())));
        }
        m_statistics->move(at);
    }
    m_statistics->show();
    m_statistics->raise();
    m_statistics->activateWindow();
}
