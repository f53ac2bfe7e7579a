// The service log of the window's writes to a meter: one line per write, and its viewer in
// the context menu.
#include <QAction>

#include "console/QTM200DebugDlg.h"
#include "console/ServiceLogDialog.h"
#include "service/ServiceLog.h"

namespace {

const QString kServiceLogText = QStringLiteral("Service log…");

}  // namespace

void CQTM200DebugDlg::WireServiceLog() {
    m_serviceLog = std::make_unique<ServiceLogFile>();
    auto* view = new QAction(kServiceLogText, this);
    connect(view, &QAction::triggered, this, [this] { ShowServiceLog(); });
    addAction(view);
}

void CQTM200DebugDlg::LogWrite(const char* parameter, std::optional<std::string> oldValue,
                               std::string newValue, bool ok, const QString& failure) {
    const bool bus = m_nComm == 1;
    // The serial number as the meter last gave it: the link keeps the USB read; over the bus
    // the parameter read put it into the SN field.
    std::string serial = bus ? m_strSN.toStdString() : m_link.SerialNumber();
    const qtm::ServiceLogTarget target =
        qtm::MakeServiceLogTarget("window", bus ? m_link.Bus().PortName() : m_link.PortName(), bus,
                                  ParamTarget().address, std::move(serial));
    const qtm::ServiceLogEntry entry{parameter, std::move(oldValue), std::move(newValue),
                                     qtm::WriteResult(ok, failure.trimmed().toStdString())};
    if (const std::string notice = m_serviceLog->Append(target, entry); !notice.empty())
        m_prompts->ShowMessage(QString::fromStdString(notice));
}

void CQTM200DebugDlg::ShowServiceLog() {
    ServiceLogDialog dialog(m_serviceLog->Path(), this);
    dialog.exec();
}
