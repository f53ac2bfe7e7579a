// The meter's texts checked before they go out, the restore of a parameter backup, and the
// service log of the window's writes.
#include <QLineEdit>

#include "console/DecimalText.h"
#include "console/MeterWork.h"
#include "console/QTM200DebugDlg.h"
#include "service/BackupStore.h"
#include "service/MeterTextInput.h"
#include "service/WriteLog.h"
#include "ui_QTM200DebugDlg.h"

namespace {

const QString kRestoreCaption = QStringLiteral("Restore parameters");

}  // namespace

std::optional<qtm::IdentityTexts> CQTM200DebugDlg::IdentityTextsFromEdits() {
    struct Field {
        qtm::TextParameter which;
        QLineEdit* edit;
        std::string* bytes;
    };
    qtm::IdentityTexts texts;
    const Field fields[] = {
        {qtm::TextParameter::Model, m_ui->edtModel_1110, &texts.model},
        {qtm::TextParameter::SerialNumber, m_ui->edtSN_1137, &texts.serialNumber},
        {qtm::TextParameter::Band, m_ui->edtBand_1111, &texts.band},
        {qtm::TextParameter::Range, m_ui->edtRange_1138, &texts.range},
    };
    for (const Field& f : fields) {
        const qtm::TextInput input =
            qtm::PrepareMeterText(f.which, f.edit->text().toStdString(), qtm::LongText::Cut);
        if (!input.bytes) {
            // Nothing is sent, so the meter still holds what the window held.
            m_ui->edtModel_1110->setText(m_strModel);
            m_ui->edtSN_1137->setText(m_strSN);
            m_ui->edtBand_1111->setText(m_strBand);
            m_ui->edtRange_1138->setText(m_strRange);
            m_prompts->ShowMessage(QString::fromStdString(input.error));
            return std::nullopt;
        }
        *f.bytes = *input.bytes;
    }
    return texts;
}

qtm::ServiceLogTarget CQTM200DebugDlg::WriteLogTarget(
    const qtm::MeterTarget& target, const std::optional<qtm::MeterParameters>& meter) const {
    const std::string port = target.Bus() ? m_link.Bus().PortName() : m_link.PortName();
    const std::string serial = meter ? meter->serialNumber.value_or("") : std::string();
    return qtm::MakeServiceLogTarget("window", port, target.Bus(), target.address, serial);
}

void CQTM200DebugDlg::ShowLogProblem(const std::string& error) {
    if (error.empty()) return;
    m_prompts->ShowMessage(
        QStringLiteral("The write could not be recorded in the service log (%1).")
            .arg(QString::fromStdString(error)));
}

void CQTM200DebugDlg::ShowParameters(const qtm::MeterParameters& values,
                                     const std::vector<qtm::RestoreStep>& steps) {
    auto written = [&](const char* name) {
        for (const qtm::RestoreStep& s : steps) {
            if (s.name == name) return s.result == qtm::RestoreStep::Result::Written;
        }
        return false;
    };
    auto text = [&](const char* name, const std::optional<std::string>& value, QString& field,
                    QLineEdit* edit) {
        if (!value || !written(name)) return;
        field = QString::fromStdString(*value);
        edit->setText(field);
    };
    text("model", values.model, m_strModel, m_ui->edtModel_1110);
    text("sn", values.serialNumber, m_strSN, m_ui->edtSN_1137);
    text("band", values.band, m_strBand, m_ui->edtBand_1111);
    text("range", values.range, m_strRange, m_ui->edtRange_1138);
    if (values.calValue && written("cal")) {
        m_fCalEntered = *values.calValue;
        m_strCal = qtm::FixedText(m_fCalEntered, 3);
        m_ui->edtCal_1142->setText(m_strCal);
    }
    if (values.saveGap && written("savetime")) {
        m_nSaveGap = *values.saveGap;
        m_strSaveGap = QString::number(m_nSaveGap);
        m_ui->edtSaveTime_1143->setText(m_strSaveGap);
    }
    if (values.k && written("k")) {
        m_fK = *values.k;
        m_strK = qtm::FixedText(m_fK, 3);
        m_ui->edtK_1141->setText(m_strK);
    }
}

void CQTM200DebugDlg::OnRestoreParameters() {
    if (!CheckConnected()) return;
    const std::optional<qtm::MeterTarget> checked = CheckedTarget();
    if (!checked) return;
    const qtm::MeterTarget target = *checked;
    const QString file = m_prompts->AskOpenPath(
        kRestoreCaption, QString::fromStdString(m_backups->Folder().string()),
        QStringLiteral("Parameter backups (*.txt);;All files (*)"));
    if (file.isEmpty()) return;
    const qtm::BackupLoad loaded = qtm::LoadBackup(file.toStdString());
    if (!loaded.parameters) {
        m_prompts->ShowMessage(QString::fromStdString(loaded.error), kRestoreCaption);
        return;
    }
    const qtm::MeterParameters backup = *loaded.parameters;
    // Only what differs from the meter's values now is written, so they are read first.
    const qtm::RestorePlan plan =
        RunMeterWork([&] { return qtm::PlanRestore(m_link, target, backup); }, &m_timer3);
    if (!plan.current) {
        m_prompts->ShowMessage(
            QStringLiteral("The meter's present parameters could not be read (%1), so nothing "
                           "was written.")
                .arg(QString::fromStdString(plan.error)),
            kRestoreCaption);
        return;
    }
    if (!plan.otherMeter.empty() &&
        !m_prompts->AskOkCancel(QString::fromStdString(plan.otherMeter) +
                                    QStringLiteral("\nRestore it to this meter anyway?"),
                                kRestoreCaption))
        return;
    if (plan.changes.empty()) {
        m_prompts->ShowMessage(QString::fromStdString(qtm::DescribeRestore({})), kRestoreCaption);
        return;
    }
    // What the meter holds now is itself kept first, so the restore can be undone too.
    QString question = QString::fromStdString(qtm::DescribeChanges(plan.changes));
    const qtm::BackupSave saved =
        qtm::SaveBackup(*plan.current, m_backups->Folder(), std::chrono::system_clock::now());
    if (!saved.path.empty()) {
        m_backups->Taken(plan.current->serialNumber.value_or(""), saved.path);
    } else {
        question += QStringLiteral("\nThe meter's present parameters could not be kept (%1).\n")
                        .arg(QString::fromStdString(saved.error));
    }
    question += QStringLiteral("\nWrite the values of %1 to the meter?").arg(file);
    if (!m_prompts->AskOkCancel(question, kRestoreCaption)) return;
    qtm::WriteLog log(WriteLogTarget(target, plan.current));
    const std::vector<qtm::RestoreStep> steps = RunMeterWork(
        [&] { return qtm::RestoreParameters(m_link, target, backup, *plan.current, &log); },
        &m_timer3);
    m_meter.ForgetSettings();
    ShowParameters(backup, steps);
    m_prompts->ShowMessage(QString::fromStdString(qtm::DescribeRestore(steps)), kRestoreCaption);
    ShowLogProblem(log.Error());
}
