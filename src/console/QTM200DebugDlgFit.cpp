// The "Fit Data" group and ZeroCal: zero calibration, the zero value and the range R, Cal K,
// the fitting run, the fitting data with its chart, and the polynomial write.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "console/DecimalText.h"
#include "console/MeterWork.h"
#include "console/QTM200DebugDlg.h"
#include "service/CalibrationOps.h"
#include "service/JsonText.h"
#include "service/NumberText.h"
#include "service/ValueChecks.h"
#include "ui_QTM200DebugDlg.h"
#include "widgets/TipsDlg.h"

namespace {

const QString kMsgReadOk = QStringLiteral(" -----< param read success!!! >-----");
const QString kMsgReadFailed = QStringLiteral(" -----< param read failed!!! >-----");
const QString kMsgZeroOk = QStringLiteral(" -----< Zero calibration write success!!! >-----");
const QString kMsgZeroFailed = QStringLiteral(" -----< Zero calibration failed!!! >-----");
const QString kMsgCalKZero = QStringLiteral(" -----< coefficient K Cannot be 0!!! >-----");
const QString kMsgCalKOk = QStringLiteral(" -----< coefficient K write success!!! >-----");
const QString kMsgCalKFailed = QStringLiteral(" -----< coefficient K write failed!!! >-----");
const QString kMsgFitEnded = QStringLiteral(" -----< The fitting has ended!!! >-----");
const QString kMsgFitEndFailed = QStringLiteral(" -----< The fitting has ended Failed!!! >-----");
const QString kMsgFitStarted = QStringLiteral(" -----< Fitting has started!!! >-----");
const QString kMsgFitStartFailed = QStringLiteral(" -----< Fitting has started Failed!!! >-----");
const QString kMsgBusFitStarted = QStringLiteral(" -----< 开始拟合!!! >-----");
const QString kMsgBusFitFailed = QStringLiteral(" -----< 拟合开始失败!!! >-----");
const QString kMsgFormulaZero = QStringLiteral(" -----< Formula param Cannot be 0!!! >-----");
const QString kMsgFormulaOk = QStringLiteral(" -----< Formula param write success!!! >-----");
const QString kMsgFormulaFailed = QStringLiteral(" -----< Formula param write failed!!! >-----");
const QString kCaptionStart = QStringLiteral("Start");
const QString kCaptionStop = QStringLiteral("Stop");

}  // namespace

void CQTM200DebugDlg::LoadFitChart() {
    for (std::size_t i = 0; i < ChartBuffers::kFitPairCount; ++i)
        m_chart.FitY[i] = m_chart.FitPairs[i][m_bFitShowData ? 1 : 0];
    RefreshFitChart();
}

void CQTM200DebugDlg::OnZeroCal() {
    if (!CheckConnected()) return;
    CTipsDlg tips(this);
    if (tips.DoModal() == CTipsDlg::kIdCancel) return;
    const std::optional<qtm::MeterTarget> target = CheckedTarget();
    if (!target || !BackupBeforeWrite(true)) return;
    const bool ok = RunMeterWork([&] { return qtm::ZeroCalibrate(m_link, *target); }, &m_timer3);
    LogWrite("zerocal", ReadBefore(&qtm::MeterParameters::zero), qtm::JsonString("zero"), ok,
             kMsgZeroFailed);
    m_prompts->ShowMessage(ok ? kMsgZeroOk : kMsgZeroFailed);
}

void CQTM200DebugDlg::OnReadZero() {
    if (!CheckConnected()) return;
    const std::optional<qtm::MeterTarget> target = CheckedTarget();
    if (!target) return;
    const qtm::ZeroReadout zero =
        RunMeterWork([&] { return qtm::ReadZeroValue(m_link, *target); }, &m_timer3);
    if (zero.ok) {
        m_fZero = zero.zero;
        if (zero.block) {
            // The live block carries the meter's other values too; the window keeps them.
            m_meter.TakeBusSettings(zero.block->cal, zero.block->k, zero.block->calK);
            m_fCalEntered = zero.block->cal;
            m_fCalK = zero.block->calK;
            m_fK = zero.block->k;
            m_fPower = zero.block->power;
            m_fAD = zero.block->ad;
            m_fVoltage = zero.block->voltage;
            m_fTemperature = zero.block->temperature;
        }
        m_strZeroData = qtm::FixedText(m_fZero, 3);
        m_ui->edtZeroData_1055->setText(m_strZeroData);
    }
    if (const std::optional<float> range = qtm::RangeFromZero(m_fZero, m_fCal)) {
        m_strR = qtm::FixedText(*range, 1);
        m_ui->edtR_1056->setText(m_strR);
    }
    // A port that would not open, or a meter that said nothing, is no successful read.
    m_prompts->ShowMessage(zero.ok ? kMsgReadOk : kMsgReadFailed);
}

void CQTM200DebugDlg::OnWriteCalK() {
    if (!CheckConnected()) return;
    const float previous = m_fCalK;
    const auto show = [this] {
        m_strCalK = qtm::FixedText(m_fCalK, 3);
        m_ui->edtCalK_1058->setText(m_strCalK);
    };
    // Cal K goes out as a whole number: 0.5 would be sent as 0, 1e10 as the largest integer.
    const qtm::Checked<std::int32_t> typed =
        qtm::CheckCalK(m_ui->edtCalK_1058->text().toStdString());
    if (!typed) {
        show();
        if (typed.kind == qtm::RefusalKind::Zero)
            m_prompts->ShowMessage(kMsgCalKZero);
        else
            RefuseValue(typed.error);
        return;
    }
    m_fCalK = qtm::NarrowToFloat(qtm::DecimalNumber(m_ui->edtCalK_1058->text()));
    const std::int32_t value = *typed.value;
    // The USB request goes out whatever the link kind: there is no register for it.
    const bool backedUp = BackupBeforeWrite(true);
    const bool ok =
        backedUp && RunMeterWork([&] { return qtm::WriteCalK(m_link, value); }, &m_timer3);
    if (backedUp)
        LogWrite("calk", ReadBefore(&qtm::MeterParameters::calK), qtm::JsonNumber(value), ok,
                 kMsgCalKFailed);
    if (!ok) m_fCalK = previous;
    show();
    m_prompts->ShowMessage(ok ? kMsgCalKOk : kMsgCalKFailed);
}

void CQTM200DebugDlg::OnFitStart() {
    QPushButton* button = m_ui->btnFitStart_1009;
    if (!CheckConnected()) return;
    const std::optional<qtm::MeterTarget> target = CheckedTarget();
    if (!target || !BackupBeforeWrite(false)) return;
    const bool bus = target->Bus();
    const std::uint8_t address = target->address;
    // The caption is the state, and it flips on every press whatever the meter does.
    if (button->text() != kCaptionStop) {
        button->setText(kCaptionStop);
        if (bus) return;
        const int result =
            RunMeterWork([&] { return qtm::SetFitStateUsb(m_link, qtm::vk::kFitEnd); }, &m_timer3);
        LogWrite("fit", std::nullopt, qtm::JsonString("stop"), result == 0, kMsgFitEndFailed);
        m_prompts->ShowMessage(result == 0 ? kMsgFitEnded : kMsgFitEndFailed);
        return;
    }
    button->setText(kCaptionStart);
    if (bus) {
        const bool ok =
            RunMeterWork([&] { return qtm::StartFittingOnBus(m_link, address); }, &m_timer3);
        LogWrite("fit", std::nullopt, qtm::JsonString("start"), ok, kMsgBusFitFailed);
        m_prompts->ShowMessage(ok ? kMsgBusFitStarted : kMsgBusFitFailed);
        return;
    }
    const int result =
        RunMeterWork([&] { return qtm::SetFitStateUsb(m_link, qtm::vk::kFitStart); }, &m_timer3);
    LogWrite("fit", std::nullopt, qtm::JsonString("start"), result == 0, kMsgFitStartFailed);
    m_prompts->ShowMessage(result == 0 ? kMsgFitStarted : kMsgFitStartFailed);
}

void CQTM200DebugDlg::OnReadFit() {
    if (!CheckConnected()) return;
    const std::optional<qtm::MeterTarget> target = CheckedTarget();
    if (!target) return;
    qtm::FitCoefficients previous{};
    for (std::size_t j = 0; j < previous.size(); ++j)
        previous[j] = m_fFitCoef[j];
    const qtm::FitReadout fit = RunMeterWork(
        [&] {
            return target->Bus() ? qtm::ReadFitDataBus(m_link, target->address, previous)
                                 : qtm::ReadFitDataUsb(m_link, previous);
        },
        &m_timer3);
    // A read that brought nothing is no read: the pairs, chart and coefficients stay as they
    // were instead of turning into zeros the meter never sent.
    if (!fit.ok) {
        m_prompts->ShowMessage(kMsgReadFailed);
        return;
    }
    m_ui->edtFitLog_1065->clear();
    m_chart.FitPairs = {};
    std::fill(m_chart.FitY.begin(), m_chart.FitY.begin() + ChartBuffers::kFitPairCount, 0.0);
    RefreshFitChart();
    m_strFit = QString::fromStdString(fit.text);
    m_ui->edtFitLog_1065->setPlainText(m_strFit);
    for (std::size_t i = 0; i < ChartBuffers::kFitPairCount; ++i)
        m_chart.FitPairs[i] = {fit.pairs[i].t, fit.pairs[i].ad};
    QLineEdit* edits[] = {m_ui->edtCoef_1069, m_ui->edtCoef_1070, m_ui->edtCoef_1071,
                          m_ui->edtCoef_1072, m_ui->edtCoef_1073};
    for (std::size_t j = 0; j < m_fFitCoef.size(); ++j) {
        m_fFitCoef[j] = qtm::NarrowToFloat(fit.coefficients[j]);
        m_strFormula[j] = qtm::FixedText(m_fFitCoef[j], 5);
        edits[j]->setText(m_strFormula[j]);
    }
    LoadFitChart();
    m_prompts->ShowMessage(kMsgReadOk);
}

void CQTM200DebugDlg::OnWriteFormula() {
    if (!CheckConnected()) return;
    QLineEdit* edits[] = {m_ui->edtCoef_1069, m_ui->edtCoef_1070, m_ui->edtCoef_1071,
                          m_ui->edtCoef_1072, m_ui->edtCoef_1073};
    const std::array<double, 5> previous = m_dFormula;
    const auto show = [&] {
        for (std::size_t j = 0; j < m_dFormula.size(); ++j) {
            m_strFormula[j] = qtm::FixedText(m_dFormula[j], 5);
            edits[j]->setText(m_strFormula[j]);
        }
    };
    // The formula goes as a whole or not at all; the first coefficient that cannot be meant
    // refuses it, and the edits go back to the formula last written.
    qtm::FitCoefficients coefficients{};
    for (std::size_t j = 0; j < coefficients.size(); ++j) {
        const std::string name = "formula coefficient C" + std::to_string(4 - j);
        const qtm::Checked<double> typed =
            qtm::CheckCoefficient(edits[j]->text().toStdString(), name);
        if (!typed) {
            show();
            if (typed.kind == qtm::RefusalKind::Zero)
                m_prompts->ShowMessage(kMsgFormulaZero);
            else
                RefuseValue(typed.error);
            return;
        }
        coefficients[j] = *typed.value;
    }
    m_dFormula = coefficients;
    const bool backedUp = BackupBeforeWrite(true);
    const bool ok =
        backedUp &&
        RunMeterWork([&] { return qtm::WriteFormula(m_link, coefficients); }, &m_timer3);
    if (backedUp)
        LogWrite("formula", std::nullopt, qtm::JsonString(qtm::CoefficientsText(coefficients)), ok,
                 kMsgFormulaFailed);
    if (!ok) m_dFormula = previous;
    show();
    m_prompts->ShowMessage(ok ? kMsgFormulaOk : kMsgFormulaFailed);
}
