// The "Serial port setup" group: finding and identifying the meter, opening the bus port,
// the family and link selections and the bus-address setting.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QThread>

#include "console/DecimalText.h"
#include "console/MeterWork.h"
#include "console/QTM200DebugDlg.h"
#include "console/WaitCursor.h"
#include "console/WindowGeometry.h"
#include "service/JsonText.h"
#include "service/MeterIdentity.h"
#include "service/ModelCatalog.h"
#include "ui_QTM200DebugDlg.h"
#include "widgets/DialogTemplate.h"

namespace {

const QString kMsgConnected = QStringLiteral(" -----< Device connected！ >-----");
const QString kMsgUndetected = QStringLiteral(" -----< Undetected device！ >-----");
const QString kMsgPortFailed = QStringLiteral(" -----< Serial Port open failed！ >-----");
const QString kMsgScanConnected =
    QStringLiteral(" -----< Serial Port open ,Device connected！ >-----");
const QString kMsgBusOpen = QStringLiteral(" -----< COMM PROT OPEN！ >-----");
const QString kMsgAddrOk = QStringLiteral(" -----< addr set ok!!! >-----");
const QString kMsgAddrFailed = QStringLiteral(" -----< addr set failed!!! >-----");
const QString kMsgBadAddress =
    QStringLiteral("Bus addresses are whole numbers from 1 to 247; nothing was sent.");

constexpr int kBusBaudRate = 115200;
constexpr std::uint16_t kAddressRegister = 0xFCC6;
constexpr std::uint8_t kAddressCommand = 0xC6;

}  // namespace

void CQTM200DebugDlg::ShowMeterMessage(const std::string& text) {
    const QString message = QString::fromStdString(text);
    if (QThread::currentThread() == thread()) {
        m_prompts->ShowMessage(message);
        return;
    }
    // From the bus watch thread: the message box belongs to the window's thread.
    QMetaObject::invokeMethod(
        this, [this, message] { m_prompts->ShowMessage(message); }, Qt::QueuedConnection);
}

bool CQTM200DebugDlg::CheckConnected() {
    if (m_bConnected) return true;
    m_prompts->ShowMessage(kMsgPortFailed);
    return false;
}

void CQTM200DebugDlg::ExplainPermissionProblem() {
    const qtm::PortError error = m_link.LastOpenError();
    if (error.kind != qtm::PortErrorKind::PermissionDenied) return;
    m_prompts->ShowMessage(
        QStringLiteral("You have no permission to open %1.\n"
                       "Serial ports belong to the \"dialout\" group: add yourself with\n"
                       "    sudo usermod -aG dialout $USER\n"
                       "then log out and in again.")
            .arg(QString::fromStdString(error.path)));
}

void CQTM200DebugDlg::ShowPortList() {
    QComboBox* combo = m_ui->cmbPort_1016;
    const QString typed = combo->currentText();
    const int selected = combo->currentIndex();
    combo->clear();
    for (const std::string& port : m_link.PortList())
        combo->addItem(QString::fromStdString(port));
    if (selected >= 0 && selected < combo->count()) {
        combo->setCurrentIndex(selected);
    } else {
        combo->setEditText(typed);
    }
}

void CQTM200DebugDlg::SelectPort(int index) {
    QComboBox* combo = m_ui->cmbPort_1016;
    if (index >= 0 && index < combo->count()) combo->setCurrentIndex(index);
    m_strPort = combo->currentText();
}

void CQTM200DebugDlg::StartStorageTimer() {
    if (!m_bBlink.load()) m_timer3.start(3000);
}

void CQTM200DebugDlg::ReadIdentityIntoFields() {
    ShowIdentity(ReadIdentityOffThread());
}

qtm::IdentityRead CQTM200DebugDlg::ReadIdentityOffThread() {
    // Over a second of exchanges: off the window's thread, so the window keeps painting.
    return RunMeterWork([this] { return qtm::ReadIdentity(m_link); }, &m_timer3);
}

void CQTM200DebugDlg::ShowIdentity(const qtm::IdentityRead& read) {
    m_meter.TakeIdentity(read);
    if (read.serialNumber) {
        m_strSN = QString::fromStdString(*read.serialNumber);
        m_ui->edtSN_1137->setText(m_strSN);
    }
    if (read.band) {
        m_strBand = QString::fromStdString(*read.band);
        m_ui->edtBand_1111->setText(m_strBand);
    }
    if (read.range) {
        m_strRange = QString::fromStdString(*read.range);
        m_ui->edtRange_1138->setText(m_strRange);
    }
    if (read.calValue) {
        m_fCal = *read.calValue;
        // What the meter holds is also what a failed write goes back to.
        m_fCalEntered = m_fCal;
        m_strCal = qtm::FixedText(m_fCal, 3);
        m_ui->edtCal_1142->setText(m_strCal);
    }
    if (read.saveGap) {
        m_nSaveGap = *read.saveGap;
        m_strSaveGap = QString::asprintf("%d", m_nSaveGap);
        m_ui->edtSaveTime_1143->setText(m_strSaveGap);
    }
    if (read.k) {
        m_fK = *read.k;
        m_strK = qtm::FixedText(m_fK, 3);
        m_ui->edtK_1141->setText(m_strK);
    }
}

bool CQTM200DebugDlg::FindMeterOnListedPorts(std::string& model, const QString& notFoundMessage) {
    m_link.EnumeratePorts();
    ShowPortList();
    // Each silent port costs its own time-outs; the window keeps painting meanwhile.
    const int found = RunMeterWork([&] { return m_link.FindMeter(model); }, &m_timer3);
    if (found == 0) return true;
    SelectPort(m_link.SavedPortIndex());
    m_prompts->ShowMessage(notFoundMessage);
    m_bConnected = false;
    ExplainPermissionProblem();
    return false;
}

void CQTM200DebugDlg::ConnectAtStartup() {
    QComboBox* port = m_ui->cmbPort_1016;
    m_link.SetSavedPortIndex(std::max(0, port->currentIndex()));
    m_nComm = m_ui->cmbComm_1020->currentIndex();
    m_link.SetCommMode(m_nComm == 1 ? qtm::CommMode::Rs485 : qtm::CommMode::Usb);

    std::string model;
    if (m_nComm == 1) {
        m_ui->edtAddr_1112->setEnabled(true);
        m_ui->btnOpen_1021->setEnabled(true);
        m_ui->btnScan_1001->setEnabled(false);
        int opened = -1;
        {
            WaitCursor wait;
            opened = m_link.OpenBusPort(port->currentText().toStdString(), kBusBaudRate);
        }
        if (opened != 0) {
            m_bConnected = false;
            ExplainPermissionProblem();
            return;
        }
        m_prompts->ShowMessage(kMsgConnected);
        m_bConnected = true;
        m_meter.NewMeter(port->currentText().toStdString(), qtm::CommMode::Rs485);
    } else {
        m_ui->edtAddr_1112->setEnabled(false);
        m_ui->btnOpen_1021->setEnabled(false);
        m_ui->btnScan_1001->setEnabled(true);
        if (!FindMeterOnListedPorts(model, kMsgUndetected)) return;
        // The port where the meter answered is the one shown and the one put back later.
        const int index = port->findText(QString::fromStdString(m_link.PortName()));
        SelectPort(index);
        m_link.SetSavedPortIndex(std::max(0, index));
        m_prompts->ShowMessage(kMsgConnected);
        m_bConnected = true;
        m_meter.NewMeter(m_link.PortName(), qtm::CommMode::Usb);
        m_meter.TakeModel(model);
    }

    m_strModel = QString::fromStdString(model);
    m_ui->edtModel_1110->setText(m_strModel);
    ReadIdentityIntoFields();
    StartStorageTimer();
}

void CQTM200DebugDlg::OnScan() {
    std::string model;
    if (!FindMeterOnListedPorts(model, kMsgPortFailed)) return;
    m_bConnected = true;
    m_meter.NewMeter(m_link.PortName(), qtm::CommMode::Usb);
    m_meter.TakeModel(model);
    m_strModel = QString::fromStdString(model);
    m_ui->edtModel_1110->setText(m_strModel);

    if (m_link.GetDeviceType() == qtm::DeviceType::Qtm300) {
        m_strInfo.clear();
        m_ui->edtInfo_1079->clear();
        const std::optional<std::string> info =
            RunMeterWork([this] { return qtm::ReadInfoText(m_link); }, &m_timer3);
        if (info) {
            m_strInfo = QString::fromStdString(*info);
            m_ui->edtInfo_1079->setPlainText(m_strInfo);
        }
    } else {
        ReadIdentityIntoFields();
        StartStorageTimer();
        const int index = m_ui->cmbPort_1016->findText(QString::fromStdString(m_link.PortName()));
        SelectPort(index);
        m_link.SetSavedPortIndex(std::max(0, index));
        m_prompts->ShowMessage(kMsgScanConnected);
        m_bConnected = true;
    }
    // A different meter may have been found: every text that names the model's quantity
    // follows it, the list headers and the chart title included.
    ApplyModelCaptions();
    SetUpReadingList();
    if (CChartCtrl* chart = LiveChart()) {
        SetLiveChartTitle();
        chart->RefreshCtrl();
    }
}

void CQTM200DebugDlg::OnOpen() {
    m_strPort = m_ui->cmbPort_1016->currentText();
    m_strAddr = m_ui->edtAddr_1112->text();
    int opened = -1;
    {
        WaitCursor wait;
        opened = m_link.OpenBusPort(m_strPort.toStdString(), kBusBaudRate);
    }
    if (opened == 0) {
        m_prompts->ShowMessage(kMsgBusOpen);
        m_bConnected = true;
        m_meter.NewMeter(m_strPort.toStdString(), qtm::CommMode::Rs485);
    } else {
        m_bConnected = false;
        ExplainPermissionProblem();
    }
}

void CQTM200DebugDlg::OnCommChange() {
    m_nComm = m_ui->cmbComm_1020->currentIndex();
    const bool bus = m_nComm == 1;
    if (bus) {
        m_link.CloseUsbPort();
    } else if (m_link.BusPortOpen()) {
        m_link.CloseBusPort();  // ends the watch thread before the port closes
    }
    m_ui->edtAddr_1112->setEnabled(bus);
    m_ui->btnOpen_1021->setEnabled(bus);
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_ui->btnScan_1001, m_ui->btnSetting_1147, m_ui->cmbEnergy_1017,
             m_ui->btnSetSaveTime_1146, m_ui->btnImport_1031, m_ui->btnErase_1038}) {
        w->setEnabled(!bus);
    }
    for (QLineEdit* edit : {m_ui->edtSaveTime_1143, m_ui->edtModel_1110, m_ui->edtSN_1137,
                            m_ui->edtBand_1111, m_ui->edtRange_1138}) {
        edit->setReadOnly(bus);
    }
    const qtm::CommMode mode = bus ? qtm::CommMode::Rs485 : qtm::CommMode::Usb;
    if (mode != m_link.GetCommMode()) {
        m_link.SetCommMode(mode);
        m_bConnected = false;
        m_meter.NewMeter(std::string(), mode);
    }
}

void CQTM200DebugDlg::SetFactoryFieldsVisible(bool visible) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_ui->lblBand_1076, m_ui->lblRange_1077, m_ui->lblCal_1078, m_ui->lblModel_1080,
             m_ui->lblSN_1081, m_ui->edtBand_1111, m_ui->edtRange_1138, m_ui->edtCal_1142,
             m_ui->edtModel_1110, m_ui->edtSN_1137, m_ui->btnSetting_1147, m_ui->btnSetCal_1148,
             m_ui->btnReadParam_1149}) {
        w->setVisible(visible);
    }
    m_ui->edtInfo_1079->setVisible(!visible);
    m_ui->btnUDisk_1150->setVisible(!visible);
}

void CQTM200DebugDlg::OnPTypeChange() {
    // Picking the family already chosen changes nothing; above all it must not toggle the
    // layout, as a change back to "QTX200" does.
    const int index = m_ui->cmbPType_1019->currentIndex();
    if (index == m_nPType) return;
    m_nPType = index;
    const bool qtm300 = m_nPType == 1;
    m_link.SetDeviceType(qtm300 ? qtm::DeviceType::Qtm300 : qtm::DeviceType::Qtx200);
    if (qtm300) {
        const QSize margin =
            qtmui::DluToPixels(QRect(0, 0, 3, 1), qtmui::BaseUnitsOf(font())).size();
        setFixedSize(qtm::CompactSize(m_ui->grpFactory_1046->geometry(), margin));
        SetFactoryFieldsVisible(false);
    } else {
        SetFactoryFieldsVisible(true);
        ToggleExpand();
    }
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    m_link.EnumeratePorts();
    ShowPortList();
}

void CQTM200DebugDlg::OnSetAddress() {
    if (!CheckConnected()) return;
    // Address 0 is the bus broadcast: a typing slip must not renumber every meter on the line.
    const std::optional<int> current = qtm::BusAddress(m_ui->edtAddr_1112->text());
    const std::optional<int> wanted = qtm::BusAddress(m_ui->edtNewAddr_1145->text());
    if (!current || !wanted) {
        m_prompts->ShowMessage(kMsgBadAddress);
        return;
    }
    const std::array<std::uint8_t, 2> request{kAddressCommand, static_cast<std::uint8_t>(*wanted)};
    const int result = RunMeterWork(
        [&] {
            return m_link.WriteMultipleRegisters(static_cast<std::uint8_t>(*current),
                                                 kAddressRegister, 1, 2, request);
        },
        &m_timer3);
    LogWrite("addr", qtm::JsonNumber(*current), qtm::JsonNumber(*wanted), result == 1,
             kMsgAddrFailed);
    m_prompts->ShowMessage(result == 1 ? kMsgAddrOk : kMsgAddrFailed);
}
