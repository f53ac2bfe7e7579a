// The "Factory settings" and "Param setting" groups: parameter reads and writes, erase and the
// USB-disk mode, with a backup of the meter's parameters before writes and its restore.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <thread>

#include "console/DecimalText.h"
#include "console/MeterWork.h"
#include "console/QTM200DebugDlg.h"
#include "service/BackupStore.h"
#include "service/JsonText.h"
#include "service/MeterIdentity.h"
#include "service/NumberText.h"
#include "service/ParameterOps.h"
#include "service/ValueChecks.h"
#include "service/WriteLog.h"
#include "ui_QTM200DebugDlg.h"

namespace {

const QString kMsgPortFailed = QStringLiteral(" -----< Serial Port open failed！ >-----");
const QString kMsgReadOk = QStringLiteral(" -----< param read success!!! >-----");
const QString kMsgReadFailed = QStringLiteral(" -----< param read failed!!! >-----");
const QString kMsgCalOk = QStringLiteral(" -----< cal value write success!!! >-----");
const QString kMsgCalFailed = QStringLiteral(" -----< cal value write failed!!! >-----");
const QString kMsgGapOk = QStringLiteral(" -----< data save gap write success!!! >-----");
const QString kMsgGapFailed = QStringLiteral(" -----< data save gap write failed!!! >-----");
const QString kMsgKOk = QStringLiteral(" -----< illumination k write success!!! >-----");
const QString kMsgKFailed = QStringLiteral(" -----< illumination k write failed!!! >-----");
const QString kMsgEnergyOk =
    QStringLiteral(" -----< Energy accumulation state write success!!! >-----");
const QString kMsgEnergyFailed =
    QStringLiteral(" -----< Energy accumulation state write failed!!! >-----");
const QString kMsgEraseOk = QStringLiteral(" -----< param ease success!!! >-----");
const QString kMsgEraseFailed = QStringLiteral(" -----< param ease failed!!! >-----");
const QString kMsgUDiskOk = QStringLiteral(" -----< U Disk Model success!!! >-----");
const QString kMsgUDiskFailed = QStringLiteral(" -----< U Disk Model failed!!! >-----");
const QString kAskErase =
    QStringLiteral("Erase every reading stored in the meter? This cannot be undone.");
const QString kRestoreText = QStringLiteral("Restore parameters…");

constexpr int kReadParamPauseMs = 1000;
constexpr int kStorageTimerMs = 3000;

}  // namespace

void CQTM200DebugDlg::WireParamHandlers() {
    m_backups = std::make_unique<ParameterBackupSession>(qtm::BackupFolder());
    auto click = [this](QPushButton* button, void (CQTM200DebugDlg::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    };
    click(m_ui->btnSetting_1147, &CQTM200DebugDlg::OnSettingIdentity);
    click(m_ui->btnReadParam_1149, &CQTM200DebugDlg::OnReadParam);
    click(m_ui->btnSetCal_1148, &CQTM200DebugDlg::OnSetCal);
    click(m_ui->btnSetSaveTime_1146, &CQTM200DebugDlg::OnSetSaveTime);
    click(m_ui->btnSetK_1144, &CQTM200DebugDlg::OnSetK);
    click(m_ui->btnErase_1038, &CQTM200DebugDlg::OnErase);
    click(m_ui->btnUDisk_1150, &CQTM200DebugDlg::OnUDisk);
    click(m_ui->btnZeroCal_1030, &CQTM200DebugDlg::OnZeroCal);
    click(m_ui->btnReadZero_1066, &CQTM200DebugDlg::OnReadZero);
    click(m_ui->btnWriteCalK_1006, &CQTM200DebugDlg::OnWriteCalK);
    click(m_ui->btnFitStart_1009, &CQTM200DebugDlg::OnFitStart);
    click(m_ui->btnReadFit_1000, &CQTM200DebugDlg::OnReadFit);
    click(m_ui->btnWriteFormula_1018, &CQTM200DebugDlg::OnWriteFormula);
    connect(m_ui->cmbEnergy_1017, &QComboBox::activated, this, [this] { OnEnergyStateChange(); });

    m_restoreAction = new QAction(kRestoreText, this);
    connect(m_restoreAction, &QAction::triggered, this, [this] { OnRestoreParameters(); });
    addAction(m_restoreAction);
    WireServiceLog();
}

qtm::MeterTarget CQTM200DebugDlg::ParamTarget() const {
    qtm::MeterTarget target;
    target.comm = m_nComm == 1 ? qtm::CommMode::Rs485 : qtm::CommMode::Usb;
    // The Addr text as a decimal number, its low byte the address.
    target.address = static_cast<std::uint8_t>(
        qtm::TruncateToInt32(qtm::DecimalNumber(m_ui->edtAddr_1112->text())) & 0xFF);
    return target;
}

std::optional<qtm::MeterTarget> CQTM200DebugDlg::CheckedTarget() {
    qtm::MeterTarget target = ParamTarget();
    if (!target.Bus()) return target;
    // The low byte of "257" is 1 and of "0" the broadcast: neither may pick a meter.
    const qtm::Checked<int> address =
        qtm::CheckBusAddress(m_ui->edtAddr_1112->text().toStdString());
    if (!address) {
        RefuseValue(address.error);
        return std::nullopt;
    }
    target.address = static_cast<std::uint8_t>(*address.value);
    return target;
}

void CQTM200DebugDlg::RefuseValue(const std::string& sentence) {
    m_prompts->ShowMessage(QString::fromStdString(qtm::AsSentence(sentence)));
}

bool CQTM200DebugDlg::BackupBeforeWrite(bool calibration) {
    m_backups->SetBefore(std::nullopt);
    // A "QTM300" meter has no parameter reads: there is nothing to keep.
    if (m_link.GetDeviceType() == qtm::DeviceType::Qtm300) return true;
    const qtm::MeterTarget target = ParamTarget();
    // The meter is read every time: its serial number tells whether this meter (and not one
    // swapped onto the same port) was backed up in this session, and the values read are the
    // old values of the service log.
    const qtm::ParameterRead read =
        RunMeterWork([&] { return qtm::ReadMeterParameters(m_link, target); }, &m_timer3);
    std::string error = read.error;
    if (read.parameters) {
        m_backups->SetBefore(read.parameters);
        const std::string serial = read.parameters->serialNumber.value_or("");
        if (!m_backups->Needed(serial, calibration)) return true;
        const qtm::BackupSave saved = qtm::SaveBackup(*read.parameters, m_backups->Folder(),
                                                      std::chrono::system_clock::now());
        if (!saved.path.empty()) {
            m_backups->Taken(serial, saved.path);
            return true;
        }
        error = saved.error;
    }
    return m_prompts->AskOkCancel(
        QStringLiteral("The meter's parameters could not be backed up before this write (%1).\n"
                       "Write without a backup?")
            .arg(QString::fromStdString(error)));
}

void CQTM200DebugDlg::OnSettingIdentity() {
    m_timer3.stop();
    const auto restartTimer = [this] {
        // The storage counter is polled only while no measurement runs.
        if (!m_bRunning) m_timer3.start(kStorageTimerMs);
    };
    if (!m_bConnected) {
        m_prompts->ShowMessage(kMsgPortFailed);
        restartTimer();
        return;
    }
    // A text the meter cannot take is refused before anything is sent.
    const std::optional<qtm::IdentityTexts> texts = IdentityTextsFromEdits();
    if (!texts) {
        restartTimer();
        return;
    }
    // The window's model name follows the edit whatever becomes of the write.
    m_strModel = m_ui->edtModel_1110->text();
    m_strSN = m_ui->edtSN_1137->text();
    m_strBand = m_ui->edtBand_1111->text();
    m_strRange = m_ui->edtRange_1138->text();
    if (!BackupBeforeWrite(false)) {
        restartTimer();
        return;
    }
    const qtm::MeterTarget target = ParamTarget();
    qtm::WriteLog log(WriteLogTarget(target, m_backups->Before()));
    const qtm::MeterParameters* before = m_backups->Before() ? &*m_backups->Before() : nullptr;
    const int mask = RunMeterWork(
        [&] { return qtm::WriteIdentityTexts(m_link, *texts, &log, before); }, &m_timer3);
    for (const char* written : {"model", "sn", "band", "range"})
        m_meter.Written(written);
    m_prompts->ShowMessage(QString::fromStdString(qtm::ParamWriteReport(mask)));
    ShowLogProblem(log.Error());
    restartTimer();
}

void CQTM200DebugDlg::OnReadParam() {
    RunMeterWork(
        [] {
            std::this_thread::sleep_for(std::chrono::milliseconds(kReadParamPauseMs));
            return 0;
        },
        &m_timer3);
    if (!CheckConnected()) return;
    if (m_nComm == 1) {
        const std::optional<qtm::MeterTarget> target = CheckedTarget();
        if (!target) return;
        const std::uint8_t address = target->address;
        const std::optional<qtm::BusIdentity> identity =
            RunMeterWork([&] { return qtm::ReadBusIdentity(m_link, address); }, &m_timer3);
        if (!identity) {
            m_prompts->ShowMessage(kMsgReadFailed);
            return;
        }
        m_meter.TakeAddress(address);
        m_meter.TakeBusIdentity(*identity);
        m_strModel = QString::fromStdString(identity->model);
        m_ui->edtModel_1110->setText(m_strModel);
        m_strSN = QString::fromStdString(qtm::FormatBusSerialNumber(identity->serialNumber));
        m_ui->edtSN_1137->setText(m_strSN);
        m_prompts->ShowMessage(kMsgReadOk);
        return;
    }
    // No meter answering the scan is no successful read: say so, and leave the fields.
    std::string model;
    if (!FindMeterOnListedPorts(model, kMsgReadFailed)) return;
    // The scan may have found another meter, or this one on another port.
    m_meter.NewMeter(m_link.PortName(), qtm::CommMode::Usb);
    m_meter.TakeModel(model);
    const int index = m_ui->cmbPort_1016->findText(QString::fromStdString(m_link.PortName()));
    SelectPort(index);
    m_link.SetSavedPortIndex(std::max(0, index));
    const qtm::IdentityRead read = ReadIdentityOffThread();
    if (!m_bRunning) m_timer3.start(kStorageTimerMs);
    // Without the calibration value and K there is no parameter read to show: the fields
    // keep what they held rather than take zeros the meter never sent.
    const bool calibration =
        read.calValue && read.k && read.Whole("calibration value") && read.Whole("K");
    if (!calibration) {
        m_prompts->ShowMessage(kMsgReadFailed);
        return;
    }
    m_strModel = QString::fromStdString(model);
    m_ui->edtModel_1110->setText(m_strModel);
    ShowIdentity(read);
    m_prompts->ShowMessage(kMsgReadOk);
}

void CQTM200DebugDlg::OnSetCal() {
    if (!CheckConnected()) return;
    const std::optional<qtm::MeterTarget> target = CheckedTarget();
    if (!target) return;
    const float previous = m_fCalEntered;
    // Whatever does not go out, the field shows what the meter holds as last read or
    // written, never a 0.000 that a second press would write.
    const auto showHeld = [this] { m_ui->edtCal_1142->setText(m_strCal); };
    const qtm::Checked<float> typed =
        qtm::CheckSingle(m_ui->edtCal_1142->text().toStdString(), "the calibration value");
    if (!typed) {
        showHeld();
        RefuseValue(typed.error);
        return;
    }
    if (!BackupBeforeWrite(true)) {
        showHeld();
        m_prompts->ShowMessage(kMsgCalFailed);
        return;
    }
    const float value = *typed.value;
    m_fCalEntered = value;
    const bool ok =
        RunMeterWork([&] { return qtm::WriteCalValue(m_link, *target, value); }, &m_timer3);
    LogWrite("cal", ReadBefore(&qtm::MeterParameters::calValue), qtm::JsonNumber(value), ok,
             kMsgCalFailed);
    if (ok) {
        m_strCal = qtm::FixedText(m_fCalEntered, 3);
    } else {
        m_fCalEntered = previous;
    }
    showHeld();
    m_prompts->ShowMessage(ok ? kMsgCalOk : kMsgCalFailed);
}

void CQTM200DebugDlg::OnSetSaveTime() {
    if (!CheckConnected()) return;
    const std::int32_t previous = m_nSaveGap;
    const auto show = [this] {
        m_strSaveGap = QString::number(m_nSaveGap);
        m_ui->edtSaveTime_1143->setText(m_strSaveGap);
    };
    const qtm::Checked<std::int32_t> typed =
        qtm::CheckSaveInterval(m_ui->edtSaveTime_1143->text().toStdString());
    if (!typed) {
        show();
        RefuseValue(typed.error);
        return;
    }
    m_nSaveGap = *typed.value;
    const std::int32_t value = m_nSaveGap;
    // There is no register for the interval: the USB request goes out whatever the link.
    const bool backedUp = BackupBeforeWrite(false);
    const bool ok =
        backedUp && RunMeterWork([&] { return qtm::WriteSaveGap(m_link, value); }, &m_timer3);
    if (backedUp)
        LogWrite("savetime", ReadBefore(&qtm::MeterParameters::saveGap), qtm::JsonNumber(value), ok,
                 kMsgGapFailed);
    if (!ok) m_nSaveGap = previous;
    show();
    m_prompts->ShowMessage(ok ? kMsgGapOk : kMsgGapFailed);
}

void CQTM200DebugDlg::OnSetK() {
    // Unlike the others this write does not ask for a connection first; a port that does not
    // open makes it fail.
    const float previous = m_fK;
    const auto show = [this] {
        m_strK = qtm::FixedText(m_fK, 3);
        m_ui->edtK_1141->setText(m_strK);
    };
    const std::optional<qtm::MeterTarget> target = CheckedTarget();
    if (!target) return;
    const qtm::Checked<float> typed = qtm::CheckSingle(m_ui->edtK_1141->text().toStdString(), "K");
    if (!typed) {
        show();
        RefuseValue(typed.error);
        return;
    }
    m_fK = *typed.value;
    const float value = m_fK;
    const bool backedUp = BackupBeforeWrite(true);
    const bool ok =
        backedUp &&
        RunMeterWork([&] { return qtm::WriteCoefficientK(m_link, *target, value); }, &m_timer3);
    if (backedUp)
        LogWrite("k", ReadBefore(&qtm::MeterParameters::k), qtm::JsonNumber(value), ok,
                 kMsgKFailed);
    if (!ok) m_fK = previous;
    show();
    m_prompts->ShowMessage(ok ? kMsgKOk : kMsgKFailed);
}

void CQTM200DebugDlg::OnEnergyStateChange() {
    QComboBox* combo = m_ui->cmbEnergy_1017;
    if (!CheckConnected()) return;
    const int previous = m_nEnergyState;
    const QString previousText = combo->itemText(previous);
    m_nEnergyState = std::max(0, combo->currentIndex());
    const auto state = static_cast<std::uint8_t>(m_nEnergyState);
    const QString chosen = combo->currentText();
    const bool backedUp = BackupBeforeWrite(false);
    const bool ok =
        backedUp && RunMeterWork([&] { return qtm::WriteEnergyState(m_link, state); }, &m_timer3);
    if (backedUp)
        LogWrite("energy", qtm::JsonString(previousText.toStdString()),
                 qtm::JsonString(chosen.toStdString()), ok, kMsgEnergyFailed);
    if (!ok) m_nEnergyState = previous;
    combo->setCurrentIndex(m_nEnergyState);
    m_strEnergyState = combo->currentText();
    m_prompts->ShowMessage(ok ? kMsgEnergyOk : kMsgEnergyFailed);
}

void CQTM200DebugDlg::OnErase() {
    if (!CheckConnected()) return;
    // Every stored reading goes at once: one stray click must not do that.
    if (!m_prompts->AskOkCancel(kAskErase)) return;
    if (!BackupBeforeWrite(false)) return;
    const bool ok = RunMeterWork([&] { return qtm::EraseRecords(m_link); }, &m_timer3);
    LogWrite("erase", std::nullopt, qtm::JsonString("erase"), ok, kMsgEraseFailed);
    m_prompts->ShowMessage(ok ? kMsgEraseOk : kMsgEraseFailed);
}

void CQTM200DebugDlg::OnUDisk() {
    if (!CheckConnected()) return;
    // A "QTM300" meter has no parameters to read first, so no serial number names it.
    m_backups->SetBefore(std::nullopt);
    const bool ok = RunMeterWork([&] { return qtm::SwitchToUsbDisk(m_link); }, &m_timer3);
    LogWrite("udisk", std::nullopt, qtm::JsonString("udisk"), ok, kMsgUDiskFailed);
    m_prompts->ShowMessage(ok ? kMsgUDiskOk : kMsgUDiskFailed);
}
