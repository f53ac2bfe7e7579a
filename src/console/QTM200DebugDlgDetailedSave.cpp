// "Save with details…": the readings with their times and the meter's details as the
// self-describing UTF-8 reading file, written off the window's thread; and what the window
// learns of the meter from its whole reads, which that file's metadata says.
#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QProgressDialog>
#include <QTimer>
#include <memory>

#include "console/QTM200DebugDlg.h"
#include "qtm/Version.h"
#include "service/DetailedReadingFile.h"
#include "service/ReadingObject.h"

namespace {

const QString kSaveDetailsText = QStringLiteral("Save with details…");
const QString kCaption = QStringLiteral("Save with details");
const QString kFilter = QStringLiteral("CSV Files(*.csv);;All Files(*)");
// A file that takes longer than this to write gets a window saying so.
constexpr int kShowWaitAfterMs = 400;

}  // namespace

void CQTM200DebugDlg::WireDetailedSave() {
    // Owned here alone: closing finishes the file before the window goes.
    m_detailedSave = std::make_unique<CsvSaveRun>();
    m_records.AddListener(
        {[this](const qtm::MeasurementRecord&, qtm::RowOrigin) { m_meter.ReadingTaken(); },
         [this] { m_meter.ReadingsCleared(); }});
    auto* save = new QAction(kSaveDetailsText, this);
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    save->setShortcutContext(Qt::WindowShortcut);
    connect(save, &QAction::triggered, this, [this] { OnSaveWithDetails(); });
    addAction(save);
}

void CQTM200DebugDlg::OnSaveWithDetails() {
    if (!m_detailedSave) return;
    if (m_detailedSave->Busy()) {
        m_prompts->ShowMessage(QStringLiteral("The last file is still being written."), kCaption);
        return;
    }
    if (m_records.Empty()) {
        m_prompts->ShowMessage(QStringLiteral("There are no readings to save."), kCaption);
        return;
    }
    const QString suggested =
        QStringLiteral("readings-%1.csv")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path = m_prompts->AskSavePath(kCaption, suggested, kFilter);
    if (path.isEmpty()) return;

    // A copy taken now: the buffer may grow or be cleared while the file is written.
    auto readings = std::make_shared<qtm::DetailedReadings>();
    const MeterFacts::Known& meter = m_meter.ForReadings();
    readings->metadata =
        DetailedMetadata(meter, qtm::kProgramVersion, std::chrono::system_clock::now());
    readings->serial = meter.serial.value_or(std::string());
    readings->units = qtm::ListUnitsOfModel(m_strModel.toStdString());
    const auto records = m_records.Records();
    readings->records.assign(records.begin(), records.end());
    readings->details = m_records.Details();
    const std::size_t count = readings->records.size();
    const UnsavedReadings::SaveTicket ticket = m_unsaved.SaveStarted(count);

    QApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    QTimer::singleShot(kShowWaitAfterMs, this, [this, count] {
        if (!m_detailedSave || !m_detailedSave->Busy() || m_detailedWait) return;
        m_detailedWait = new QProgressDialog(this);
        m_detailedWait->setObjectName(QStringLiteral("dlgDetailedSaveWait"));
        m_detailedWait->setWindowTitle(kCaption);
        m_detailedWait->setLabelText(QStringLiteral("Writing %1 readings…").arg(count));
        m_detailedWait->setCancelButton(nullptr);
        m_detailedWait->setRange(0, 0);  // no steps to count: the bar just moves
        m_detailedWait->setMinimumDuration(0);
        m_detailedWait->show();
    });
    const std::filesystem::path target(QFile::encodeName(path).toStdString());
    m_detailedSave->Write(
        [target, readings] { return qtm::WriteDetailedReadings(target, *readings); },
        [this, ticket, count, path, target](const qtm::FileResult& result) {
            QApplication::restoreOverrideCursor();
            if (m_detailedWait) {
                m_detailedWait->hide();
                m_detailedWait->deleteLater();
                m_detailedWait = nullptr;
            }
            // The file holds every reading: closing the window need not ask about them.
            if (result.Ok() && m_unsaved.SaveDone(ticket)) m_journal.MarkSaved(count, target);
            ShowDetailedSaveOutcome(result, count, path);
        });
}

void CQTM200DebugDlg::ShowDetailedSaveOutcome(const qtm::FileResult& result, std::size_t count,
                                              const QString& path) {
    if (!result.Ok()) {
        m_prompts->ShowMessage(QStringLiteral("The readings were not saved: %1")
                                   .arg(QString::fromStdString(qtm::DescribeFileError(result))),
                               kCaption);
        return;
    }
    m_prompts->ShowMessage(
        QStringLiteral("%1 readings saved with their details to %2.").arg(count).arg(path),
        kCaption);
}

void CQTM200DebugDlg::FinishDetailedSave() {
    // Waits for a file being written; its report will not come any more.
    const bool writing = m_detailedSave && m_detailedSave->Busy();
    m_detailedSave.reset();
    delete m_detailedWait;
    m_detailedWait = nullptr;
    if (writing) QApplication::restoreOverrideCursor();
}
