// The live measurement: Start/Stop, the worker's passes shown in the reading fields and the
// list, the storage counter, Clear, both Auto(Y) boxes, the Y-limit edits, the fit log's
// clear button and the fit chart's temperature/data switch.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>

#include "chart/ChartAxis.h"
#include "chart/ChartAxisLabel.h"
#include "chart/ChartCtrl.h"
#include "chart/ChartStandardAxis.h"
#include "console/DecimalText.h"
#include "console/QTM200DebugDlg.h"
#include "service/LivePass.h"
#include "service/NumberText.h"
#include "service/ReadingFormat.h"
#include "service/ReadingRowText.h"
#include "ui_QTM200DebugDlg.h"

namespace {

const QString kMsgBufferFull = QStringLiteral(
    " -----< 1000000 readings: the reading list is full, measurement stopped！ >-----");
const QString kMsgBadBusAddress =
    QStringLiteral("Bus addresses are whole numbers from 1 to 247; the measurement did not start.");
const QString kMsgLimits = QStringLiteral("LowLimit > UpLimit");
const QString kCaptionLimits = QStringLiteral("Flick Wave Param Set Error");
const QString kStart = QStringLiteral("Start");
const QString kStop = QStringLiteral("Stop");
const QString kShowTemperature = QStringLiteral("T(℃)");
const QString kShowData = QStringLiteral("Data");

// Replaces the chart's left axis by a fresh standard one that keeps the old axis's label.
CChartAxis* FreshLeftAxis(CChartCtrl* chart) {
    QString label;
    if (CChartAxis* old = chart->GetLeftAxis()) label = old->GetLabel()->GetText();
    CChartAxis* axis = chart->CreateStandardAxis(CChartCtrl::LeftAxis);
    axis->GetLabel()->SetText(label);
    return axis;
}

}  // namespace

void CQTM200DebugDlg::WireLiveHandlers() {
    m_run = std::make_unique<MeasurementRun>(m_link, this,
                                             [this](const PassResult& pass) { OnPassDone(pass); });
    m_storagePoll =
        std::make_unique<StoragePoll>(m_link, this, [this](std::optional<std::uint16_t> pages) {
            // A read that failed, or one made while the blink parity is set, changes nothing.
            if (pages && !m_bBlink.load()) ApplyStoragePages(*pages, true);
        });
    connect(m_ui->btnStart_1004, &QPushButton::clicked, this, [this] { OnStartStop(); });
    connect(m_ui->btnClear_1005, &QPushButton::clicked, this, [this] { OnClear(); });
    connect(m_ui->chkAutoY_1039, &QCheckBox::clicked, this, [this] { OnLiveAutoY(); });
    connect(m_ui->chkAutoYFit_1040, &QCheckBox::clicked, this, [this] { OnFitAutoY(); });
    connect(m_ui->btnClearLog_1015, &QPushButton::clicked, this, [this] { OnClearFitLog(); });
    connect(m_ui->btnTempData_1067, &QPushButton::clicked, this, [this] { OnFitShowToggle(); });
    connect(&m_timer3, &QTimer::timeout, this, [this] { OnStorageTimer(); });

    // Where the window says that the meter stopped answering during a run: a banner over
    // the temperature, voltage and A/D line, whose values are stale while it shows.
    m_lblLinkNotice = new QLabel(m_ui->pnlMeasure_1044);
    m_lblLinkNotice->setObjectName(QStringLiteral("lblLinkNotice"));
    m_lblLinkNotice->setWordWrap(true);
    m_lblLinkNotice->setAlignment(Qt::AlignCenter);
    m_lblLinkNotice->setGeometry(0, 0, m_ui->pnlMeasure_1044->width(), 36);
    m_lblLinkNotice->hide();
}

void CQTM200DebugDlg::OnStartStop() {
    QPushButton* start = m_ui->btnStart_1004;
    // Stop needs no meter: a run stops whatever became of the connection meanwhile (a
    // COMM change, a failed Scan or Open).
    if (start->text() == kStop) {
        StopMeasurement();
        return;
    }
    if (!CheckConnected()) return;
    RunSettings settings;
    settings.link = m_nComm == 1 ? qtm::CommMode::Rs485 : qtm::CommMode::Usb;
    if (settings.link == qtm::CommMode::Rs485) {
        // Address 0 would be the bus broadcast, which no meter answers.
        const std::optional<int> address = qtm::BusAddress(m_ui->edtAddr_1112->text());
        if (!address) {
            m_prompts->ShowMessage(kMsgBadBusAddress);
            return;
        }
        settings.busAddress = static_cast<std::uint8_t>(*address);
    } else {
        // Each USB exchange opens and closes the port; the run keeps it between them.
        settings.holdPort = m_link.PortName();
    }
    m_timer3.stop();
    m_ui->btnClear_1005->setEnabled(false);
    m_ui->btnSave_1028->setEnabled(false);
    m_ui->btnZeroCal_1030->setEnabled(false);
    start->setText(kStop);
    if (m_bImportedView) ResetImportedView();
    ShowLinkNotice(QString());
    m_bJournalFailed = false;  // a new run is told again
    m_bRunning = true;
    m_run->Start(settings);
    m_timer1.start(100);
}

void CQTM200DebugDlg::StopMeasurement() {
    m_ui->btnClear_1005->setEnabled(true);
    m_ui->btnSave_1028->setEnabled(true);
    m_ui->btnZeroCal_1030->setEnabled(true);
    m_ui->btnStart_1004->setText(kStart);
    m_timer1.stop();
    m_bRunning = false;
    m_bImportedView = false;
    m_run->Stop();
    // The storage counter acts only while the blink parity is clear; a run that ended on the
    // other parity would otherwise leave it frozen until the next run.
    m_bBlink = false;
    RefreshUnitColours();
    m_timer3.start(3000);
    // The run's last readings go to the disk now, not within the next second.
    if (m_journal.Active() && !m_journal.Sync()) TellJournalFailure(m_journal.LastError());
}

void CQTM200DebugDlg::ResetImportedView() {
    m_records.Clear();
    CChartCtrl* live = LiveChart();
    live->RemoveAllSeries();
    for (int i = 0; i < ChartBuffers::kRollingPoints; ++i) {
        m_chart.LiveX[static_cast<std::size_t>(i)] = i;
        m_chart.LiveY[static_cast<std::size_t>(i)] = 0;
    }
    UpdateData(true);
    CChartAxis* left = live->GetLeftAxis();
    left->SetMinMax(0, LimitValue(m_strYMax));
    left->SetAutomatic(true);
    live->GetBottomAxis()->SetMinMax(0, LimitValue(m_strXMax));
}

void CQTM200DebugDlg::OnPassDone(const PassResult& pass) {
    // A pass that ends after Stop, or that began before the latest Start, is not shown.
    if (!m_bRunning.load() || pass.generation != m_run->Generation()) return;
    m_bBlink = !m_bBlink.load();
    RefreshUnitColours();
    if (!pass.ok) {
        if (pass.failuresInRow >= kLostAfterFailedPasses) {
            ShowLinkNotice(QStringLiteral("Meter lost: %1. The readings are kept; measuring "
                                          "resumes when the meter answers.")
                               .arg(QString::fromStdString(pass.failure)));
        }
        return;
    }
    ShowLinkNotice(QString());
    if (pass.link == qtm::CommMode::Rs485) {
        ApplyBusPass(pass);
    } else {
        ApplyUsbPass(pass);
    }
    if (m_records.Full()) {
        StopMeasurement();
        m_prompts->ShowMessage(kMsgBufferFull);
    }
}

void CQTM200DebugDlg::ApplyUsbPass(const PassResult& pass) {
    const qtm::LiveValues& v = pass.usb;
    m_fPower = v.power;
    m_dEnergy = v.energy;
    m_nEnergyTime = v.energyTimeTenths;
    m_fTemperature = v.temperature;
    m_fVoltage = v.voltage;
    m_fAD = v.ad;
    qtm::ReadingDetail detail;
    detail.time = pass.taken;
    detail.temperature = v.temperature;
    detail.voltage = v.voltage;
    detail.ad = v.ad;
    m_records.AppendLive(m_fPower, m_dEnergy, v.EnergySeconds(), detail);
    if (pass.storagePages) ApplyStoragePages(*pass.storagePages, false);

    ShowSensorReadings();
    ShowReading(m_ui->lblEnergy_1003, m_ui->lblEnergyUnit_1011,
                static_cast<int>(qtm::ReadingKind::Energy), static_cast<float>(m_dEnergy));
}

void CQTM200DebugDlg::ApplyBusPass(const PassResult& pass) {
    const qtm::BusLiveValues& v = pass.bus;
    m_meter.TakeAddress(pass.busAddress);
    m_meter.TakeBusSettings(v.cal, v.k, v.calK);
    m_fZero = v.zero;
    m_fCal = v.cal;
    m_fCalK = v.calK;
    m_fK = v.k;
    m_fPower = v.power;
    m_fAD = v.ad;
    m_fVoltage = v.voltage;
    m_fTemperature = v.temperature;
    qtm::ReadingDetail detail;
    detail.time = pass.taken;
    detail.temperature = v.temperature;
    detail.voltage = v.voltage;
    detail.ad = v.ad;
    detail.address = pass.busAddress;
    detail.zero = v.zero;
    detail.cal = v.cal;
    detail.calK = v.calK;
    detail.k = v.k;
    m_records.AppendUnlisted(m_fPower, detail);

    ShowSensorReadings();
    // The bus meter also reports its settings; the edits follow them, except one the
    // operator is typing in or has changed and not yet written: the next write must send
    // exactly what was typed, not what the meter said a second ago.
    const auto follow = [](QLineEdit* edit, const QString& text) {
        if (edit->hasFocus() || edit->isModified()) return;
        edit->setText(text);
    };
    m_strCal = qtm::FixedText(m_fCal, 3);
    m_strZeroData = qtm::FixedText(m_fZero, 3);
    m_strK = qtm::FixedText(m_fK, 3);
    m_strCalK = qtm::FixedText(m_fCalK, 3);
    follow(m_ui->edtCal_1142, m_strCal);
    m_ui->edtZeroData_1055->setText(m_strZeroData);
    follow(m_ui->edtK_1141, m_strK);
    follow(m_ui->edtCalK_1058, m_strCalK);
}

void CQTM200DebugDlg::ShowSensorReadings() {
    m_ui->lblT_1012->setText(QStringLiteral("T(℃):") + qtm::FixedText(m_fTemperature, 1));
    m_ui->lblVol_1007->setText(QStringLiteral("Vol(V):") + qtm::FixedText(m_fVoltage, 3));
    m_ui->lblAD_1008->setText(QStringLiteral("AD:") + qtm::FixedText(m_fAD, 0));
    for (QLabel* label : {m_ui->lblT_1012, m_ui->lblVol_1007, m_ui->lblAD_1008})
        RefreshControl(label);
    ShowReading(m_ui->lblPower_1002, m_ui->lblPowerUnit_1010,
                static_cast<int>(qtm::ReadingKind::Power), m_fPower);
}

void CQTM200DebugDlg::ApplyStoragePages(std::uint16_t pages, bool fromTimer) {
    const qtm::StorageFill fill = qtm::StorageFillOf(pages);
    m_nStorageUsed = fill.used;
    if (fill.Plausible()) {
        m_fStoragePercent = fill.percent;
        m_strStorage = QString::fromStdString(qtm::StorageText(fill.used));
    }
    // The live pass shows the counter whatever it read; the timer only a plausible count.
    if (fromTimer && !fill.Plausible()) return;
    m_ui->lblStorage_1075->setText(m_strStorage);
    m_ui->prgStorage_1074->setValue(qtm::StorageBarValue(m_fStoragePercent));
}

void CQTM200DebugDlg::OnStorageTimer() {
    m_storagePoll->Poll();
}

void CQTM200DebugDlg::ShowReading(QLabel* text, QLabel* unit, int kind, float value) {
    std::string number;
    std::string unitText = unit->text().toStdString();
    qtm::FormatReading(number, static_cast<qtm::ReadingKind>(kind), value, unitText,
                       m_strModel.toStdString());
    text->setText(QString::fromStdString(number));
    unit->setText(QString::fromStdString(unitText));
    RefreshControl(text);
    RefreshControl(unit);
}

void CQTM200DebugDlg::ShowLinkNotice(const QString& text) {
    if (m_lblLinkNotice->text() == text) return;
    m_lblLinkNotice->setText(text);
    m_lblLinkNotice->setVisible(!text.isEmpty());
    if (text.isEmpty()) return;
    // Set here, after the window has given every plain label its own look.
    m_lblLinkNotice->setStyleSheet(
        QStringLiteral("color: rgb(190, 0, 0); background: rgb(255, 236, 190);"));
    const int width = m_ui->pnlMeasure_1044->width();
    m_lblLinkNotice->setGeometry(0, 0, width, m_lblLinkNotice->heightForWidth(width) + 6);
    m_lblLinkNotice->raise();
}

QString CQTM200DebugDlg::LinkNotice() const {
    return m_lblLinkNotice->text();
}

void CQTM200DebugDlg::OnClear() {
    m_fPower = 0;
    ShowReading(m_ui->lblPower_1002, m_ui->lblPowerUnit_1010,
                static_cast<int>(qtm::ReadingKind::Power), m_fPower);
    m_dEnergy = 0;
    ShowReading(m_ui->lblEnergy_1003, m_ui->lblEnergyUnit_1011,
                static_cast<int>(qtm::ReadingKind::Energy), static_cast<float>(m_dEnergy));
    m_records.Clear();
}

void CQTM200DebugDlg::OnLiveAutoY() {
    LiveChart()->RemoveAllSeries();
    for (int i = 0; i < ChartBuffers::kRollingPoints; ++i) {
        m_chart.LiveX[static_cast<std::size_t>(i)] = i;
        m_chart.LiveY[static_cast<std::size_t>(i)] = 0;
    }
    UpdateData(true);
    SwitchAutoY(LiveChart(), m_ui->chkAutoY_1039->isChecked(), m_ui->edtYMax_1032,
                m_ui->edtYMin_1033, LimitValue(m_strYMax), LimitValue(m_strYMin));
    OnChartTick();
}

void CQTM200DebugDlg::OnFitAutoY() {
    FitChart()->RemoveAllSeries();
    for (std::size_t i = 0; i < ChartBuffers::kFitSize; ++i) {
        m_chart.FitX[i] = static_cast<double>(i);
        m_chart.FitY[i] = 0;
    }
    UpdateData(true);
    SwitchAutoY(FitChart(), m_ui->chkAutoYFit_1040->isChecked(), m_ui->edtYUpper_1035,
                m_ui->edtYLow_1036, LimitValue(m_strYUpperLimit), LimitValue(m_strYLowLimit));
    RefreshFitChart();
}

void CQTM200DebugDlg::SwitchAutoY(CChartCtrl* chart, bool automatic, QLineEdit* upperEdit,
                                  QLineEdit* lowerEdit, float upper, float lower) {
    upperEdit->setEnabled(!automatic);
    lowerEdit->setEnabled(!automatic);
    CChartAxis* axis = FreshLeftAxis(chart);
    if (automatic) {
        axis->SetMinMax(0, upper);
        axis->SetAutomatic(true);
    } else {
        // The operator's bounds as typed, in whatever order: Enter in a limit edit checks them.
        axis->SetMinMax(lower, upper);
    }
}

bool CQTM200DebugDlg::OnLimitEnter(QWidget* focus) {
    const bool live = focus == m_ui->edtYMax_1032 || focus == m_ui->edtYMin_1033;
    const bool fit = focus == m_ui->edtYUpper_1035 || focus == m_ui->edtYLow_1036;
    if (!live && !fit) return false;
    UpdateData(true);
    CChartCtrl* chart = live ? LiveChart() : FitChart();
    // The line comes back with the chart's next redraw.
    chart->RemoveAllSeries();
    const float upper = LimitValue(live ? m_strYMax : m_strYUpperLimit);
    const float lower = LimitValue(live ? m_strYMin : m_strYLowLimit);
    if (upper > lower) {
        chart->GetLeftAxis()->SetMinMax(lower, upper);
    } else {
        m_prompts->ShowMessage(kMsgLimits, kCaptionLimits);
    }
    UpdateData(false);
    return true;
}

void CQTM200DebugDlg::OnClearFitLog() {
    QPlainTextEdit* log = m_ui->edtFitLog_1065;
    QTextCursor cursor = log->textCursor();
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    log->setTextCursor(cursor);
    log->ensureCursorVisible();
}

void CQTM200DebugDlg::OnFitShowToggle() {
    QPushButton* button = m_ui->btnTempData_1067;
    m_bFitShowData = button->text() == kShowTemperature;
    button->setText(m_bFitShowData ? kShowData : kShowTemperature);
    LoadFitChart();
}
