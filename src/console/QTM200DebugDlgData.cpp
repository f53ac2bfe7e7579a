// The meter's stored readings and the files: Import (1031) off the window's thread with a
// progress dialog, Save (1028), the journal every live record is written to, and the offer
// at start-up to save a run that did not end normally.
#include <QApplication>
#include <QFile>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>

#include "chart/ChartAxis.h"
#include "chart/ChartCtrl.h"
#include "console/JournalRecovery.h"
#include "console/QTM200DebugDlg.h"
#include "service/CsvFile.h"
#include "service/CsvFormat.h"
#include "ui_QTM200DebugDlg.h"

namespace {

const QString kMsgStopFirst = QStringLiteral(" -----< pls stop test!!! >-----");
const QString kMsgImported = QStringLiteral(" -----< param read success!!! >-----");
const QString kCaptionFile = QStringLiteral("   提示  ");
const QString kMsgFileOpen = QStringLiteral("文件已被打开，请先关闭！");
const QString kMsgSaved = QStringLiteral("Execl格式的数据文件导出完成！");
// The save dialog's filters: CSV, text, everything.
const QString kSaveFilter = QStringLiteral("CSV Files(*.csv);;Text Files(*.txt);;All Files(*)");
constexpr int kImportChartWidth = 7500;

std::filesystem::path PathOf(const QString& name) {
    return std::filesystem::path(QFile::encodeName(name).toStdString());
}

QString TextOf(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// "3" or "3, 7, 9" (the first five, then how many more).
QString PageList(const std::vector<int>& pages) {
    constexpr std::size_t kNamed = 5;
    QStringList names;
    for (std::size_t i = 0; i < pages.size() && i < kNamed; ++i)
        names << QString::number(pages[i]);
    QString text = names.join(QStringLiteral(", "));
    if (pages.size() > kNamed) text += QStringLiteral(" and %1 more").arg(pages.size() - kNamed);
    return text;
}

}  // namespace

void CQTM200DebugDlg::WireDataHandlers() {
    // Owned here alone (no Qt parent): closing ends them before the link goes.
    m_import = std::make_unique<ImportRun>();
    m_save = std::make_unique<CsvSaveRun>();
    connect(m_import.get(), &ImportRun::PageRead, this,
            [this](const qtm::PageResult& page) { OnImportPage(page); });
    connect(m_import.get(), &ImportRun::Finished, this,
            [this](const qtm::ImportOutcome& outcome) { OnImportFinished(outcome); });
    connect(m_ui->btnImport_1031, &QPushButton::clicked, this, [this] { OnImport(); });
    connect(m_ui->btnSave_1028, &QPushButton::clicked, this, [this] { OnSave(); });
    m_records.AddListener({[this](const qtm::MeasurementRecord& record, qtm::RowOrigin origin) {
                               OnRecordAdded(record, origin);
                           },
                           [this] {
                               // The buffer is emptied: its run has ended.
                               m_journal.Finish();
                               m_bJournalFailed = false;
                               m_unsaved.Cleared();
                           }});
}

void CQTM200DebugDlg::OnImport() {
    if (!CheckConnected()) return;
    if (m_bRunning.load()) {
        m_prompts->ShowMessage(kMsgStopFirst);
        return;
    }
    if (m_import->Running()) return;

    m_records.Clear();
    CChartCtrl* live = LiveChart();
    live->RemoveAllSeries();
    live->GetBottomAxis()->SetMinMax(0, kImportChartWidth);
    std::fill(m_chart.LiveY.begin(), m_chart.LiveY.end(), 0.0);
    m_importedValues.assign(static_cast<std::size_t>(qtm::kMaxImportPages * qtm::kRecordsPerPage),
                            0.0f);
    RefreshLiveChart(0);

    const int pages = qtm::PagesOfStoredCount(m_nStorageUsed);
    // The counter's poll would only wait for the pages' exchanges; it resumes afterwards.
    m_timer3.stop();
    QApplication::setOverrideCursor(QCursor(Qt::BusyCursor));

    // Window-modal: the window keeps painting the list and chart as they grow, but takes no
    // clicks, so no measurement or second import can start meanwhile.
    m_importProgress = new QProgressDialog(this);
    m_importProgress->setObjectName(QStringLiteral("dlgImportProgress"));
    m_importProgress->setWindowTitle(QStringLiteral("Import"));
    m_importProgress->setWindowModality(Qt::WindowModal);
    m_importProgress->setAutoClose(false);
    m_importProgress->setAutoReset(false);
    m_importProgress->setMinimumDuration(0);
    auto* bar = new QProgressBar(m_importProgress);
    bar->setRange(0, std::max(pages, 1));
    bar->setValue(0);
    m_importProgress->setBar(bar);
    m_importProgress->setLabelText(QStringLiteral("Reading page 0 of %1").arg(pages));
    connect(m_importProgress, &QProgressDialog::canceled, this, [this] {
        m_import->Cancel();
        if (m_importProgress)
            m_importProgress->setLabelText(QStringLiteral("Stopping after this page..."));
    });
    m_importProgress->show();

    qtm::PageReader reader = m_pageReader;
    if (!reader) reader = [this](int page) { return qtm::ReadPage(m_link, page); };
    m_import->Start(pages, std::move(reader));
}

void CQTM200DebugDlg::OnImportPage(const qtm::PageResult& page) {
    // A page without a whole answer has no readings to show: the outcome counts them.
    if (page.status == qtm::PageStatus::Read) {
        for (int r = 0; r < qtm::kRecordsPerPage; ++r) {
            const float reading = page.readings[static_cast<std::size_t>(r)];
            const auto slot = static_cast<std::size_t>(page.page * qtm::kRecordsPerPage + r);
            if (slot < m_importedValues.size()) m_importedValues[slot] = reading;
            const std::size_t index = m_records.Count();
            if (!m_records.AppendImported(reading)) break;
            if (index < m_chart.LiveY.size()) m_chart.LiveY[index] = reading;
        }
    }
    RefreshLiveChart(static_cast<int>(std::min(m_records.Count(), m_chart.LiveY.size())));
    if (QProgressDialog* progress = m_importProgress; progress && !progress->wasCanceled()) {
        progress->setLabelText(
            QStringLiteral("Reading page %1 of %2").arg(page.page + 1).arg(progress->maximum()));
        // On the bar itself: the dialog's own setValue would serve the window's events in
        // here, the next pages and the end of the import among them.
        if (auto* bar = progress->findChild<QProgressBar*>()) bar->setValue(page.page + 1);
    }
}

void CQTM200DebugDlg::OnImportFinished(const qtm::ImportOutcome& outcome) {
    if (m_importProgress) {
        m_importProgress->hide();
        m_importProgress->deleteLater();
        m_importProgress = nullptr;
    }
    QApplication::restoreOverrideCursor();
    m_bImportedView = true;
    m_ui->btnClear_1005->setEnabled(true);
    m_ui->btnSave_1028->setEnabled(true);
    if (m_bConnected && !m_bRunning.load()) m_timer3.start(3000);

    const std::size_t readings = m_records.Count();
    if (outcome.cancelled) {
        QString text = QStringLiteral(
                           " -----< Import cancelled after %1 of %2 pages; the %3 readings "
                           "read are kept")
                           .arg(outcome.pagesDone)
                           .arg(outcome.pagesTotal)
                           .arg(readings);
        if (const int missing = outcome.MissingFromPagesDone(); missing > 0)
            text += QStringLiteral(" (%1 readings of those pages are missing)").arg(missing);
        m_prompts->ShowMessage(text + QStringLiteral(". >-----"));
    } else if (outcome.gaveUp) {
        m_prompts->ShowMessage(
            QStringLiteral(" -----< Import stopped after %1 of %2 pages: %3 pages in a row gave no "
                           "answer. The %4 readings read are kept; %5 readings are missing. >-----")
                .arg(outcome.pagesDone)
                .arg(outcome.pagesTotal)
                .arg(qtm::kPagesWithoutAnswerLimit)
                .arg(readings)
                .arg(outcome.MissingReadings()));
    } else if (!outcome.notSentPages.empty() || !outcome.noAnswerPages.empty()) {
        QString text =
            QStringLiteral(" -----< Import finished with %1 readings, but ").arg(readings);
        if (!outcome.notSentPages.empty())
            text += QStringLiteral("page(s) %1 could not be read and are left out")
                        .arg(PageList(outcome.notSentPages));
        if (!outcome.notSentPages.empty() && !outcome.noAnswerPages.empty())
            text += QStringLiteral(", and ");
        if (!outcome.noAnswerPages.empty())
            text += QStringLiteral("page(s) %1 gave no whole answer and are left out")
                        .arg(PageList(outcome.noAnswerPages));
        text += QStringLiteral("; %1 readings are missing").arg(outcome.MissingReadings());
        m_prompts->ShowMessage(text + QStringLiteral(". >-----"));
    } else {
        m_prompts->ShowMessage(kMsgImported);
    }
}

void CQTM200DebugDlg::OnSave() {
    SaveReadings(nullptr);
}

bool CQTM200DebugDlg::SaveReadings(std::function<void(bool saved)> after) {
    const QString path = m_prompts->AskSavePath(QString(), QString(), kSaveFilter);
    if (path.isEmpty()) return false;
    // A run still going (the window is closing) ends here, so the file holds every reading.
    if (m_bRunning.load()) StopMeasurement();
    // A copy: the buffer may change (Clear, a new run) while the file is written.
    const auto records = m_records.Records();
    const UnsavedReadings::SaveTicket ticket = m_unsaved.SaveStarted(records.size());
    m_save->Save(PathOf(path), std::u16string(qtm::CsvHeaderOfModel(m_strModel.toStdString())),
                 std::vector<qtm::MeasurementRecord>(records.begin(), records.end()),
                 [this, ticket, path, after = std::move(after)](const qtm::FileResult& result) {
                     // Should the run then end without its journal finished, the next
                     // start need not offer these readings again.
                     if (result.Ok() && m_unsaved.SaveDone(ticket))
                         m_journal.MarkSaved(ticket.count, PathOf(path));
                     ShowSaveOutcome(result);
                     if (after) after(result.Ok());
                 });
    return true;
}

void CQTM200DebugDlg::ShowSaveOutcome(const qtm::FileResult& result) {
    if (!result.Ok()) {
        m_prompts->ShowMessage(
            kMsgFileOpen + QStringLiteral("\n") + TextOf(qtm::DescribeFileError(result)),
            kCaptionFile);
        return;
    }
    m_prompts->ShowMessage(kMsgSaved, kCaptionFile);
}

void CQTM200DebugDlg::OnRecordAdded(const qtm::MeasurementRecord& /*record*/,
                                    qtm::RowOrigin origin) {
    // Imported readings are still in the meter; only a live run exists nowhere else.
    if (origin != qtm::RowOrigin::Live) return;
    if (!m_journal.Active()) {
        const qtm::FileResult started =
            m_journal.Start(qtm::CsvHeaderOfModel(m_strModel.toStdString()));
        if (!started.Ok()) {
            TellJournalFailure(started);
            return;
        }
    }
    // Whatever the buffer already held belongs to the same run, and the readings a full
    // disk refused go in as soon as it takes them again.
    if (!m_journal.CatchUp(m_records.Records())) TellJournalFailure(m_journal.LastError());
}

void CQTM200DebugDlg::TellJournalFailure(const qtm::FileResult& why) {
    // The run goes on, and a message per reading would bury the window.
    if (m_bJournalFailed) return;
    m_bJournalFailed = true;
    m_prompts->ShowMessage(QStringLiteral(" -----< The readings cannot be journaled, so a crash "
                                          "would lose them: %1 >-----")
                               .arg(TextOf(qtm::DescribeFileError(why))));
}

void CQTM200DebugDlg::FinishDataWork() {
    if (m_import) {
        m_import->Cancel();
        m_import.reset();
    }
    // A file being saved is finished first.
    m_save.reset();
    // Readings saved or let go end with their journal; readings no one decided about (the
    // session ended) keep it for the next start.
    if (m_unsaved.Unsaved(m_records.Count()) > 0) {
        m_journal.Keep();
    } else {
        m_journal.Finish();
    }
}

void CQTM200DebugDlg::OfferJournalRecovery() {
    JournalRecovery recovery(*m_prompts, kSaveFilter,
                             [this](const qtm::FileResult& result) { ShowSaveOutcome(result); });
    recovery.OfferAll(m_journal.Folder());
}
