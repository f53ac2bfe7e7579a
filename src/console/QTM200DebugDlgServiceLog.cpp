// The service log of the window's writes to a meter: one line per write, and its viewer in
// the context menu.
#include <QAction>

#include "console/QTM200DebugDlg.h"
#include "console/ServiceLogDialog.h"
#include "service/ServiceLog.h"
#include "service/WriteLog.h"

namespace {

const QString kServiceLogText = QStringLiteral("Service log…");

}  // namespace

void CQTM200DebugDlg::WireServiceLog() {
    auto* view = new QAction(kServiceLogText, this);
    connect(view, &QAction::triggered, this, [this] { ShowServiceLog(); });
    addAction(view);
}

void CQTM200DebugDlg::LogWrite(const char* parameter, std::optional<std::string> oldValue,
                               std::string newValue, bool ok, const QString& failure) {
    m_meter.Written(parameter);
    // The meter is named by the serial number read just before the write.
    qtm::WriteLog log(WriteLogTarget(ParamTarget(), m_backups->Before()));
    log.Append({parameter, std::move(oldValue), std::move(newValue),
                qtm::WriteResult(ok, failure.trimmed().toStdString())});
    ShowLogProblem(log.Error());
}

void CQTM200DebugDlg::ShowServiceLog() {
    ServiceLogDialog dialog(qtm::ServiceLogPath(), this);
    dialog.exec();
}
