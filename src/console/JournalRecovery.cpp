#include "console/JournalRecovery.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include "console/MeterWork.h"
#include "service/CsvLog.h"

namespace {

const QString kKeepForLater = QStringLiteral("Keep for later");

QString NameOf(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

}  // namespace

JournalRecovery::JournalRecovery(OperatorPrompts& prompts, QString saveFilter, Outcome tellOutcome)
    : m_prompts(prompts),
      m_saveFilter(std::move(saveFilter)),
      m_tellOutcome(std::move(tellOutcome)) {}

void JournalRecovery::OfferAll(const std::filesystem::path& folder) {
    for (const std::filesystem::path& journal : qtm::UnfinishedJournals(folder))
        Offer(journal);
}

void JournalRecovery::Offer(const std::filesystem::path& journal) {
    std::error_code ec;
    // Made, but killed before even its header was in: nothing to offer.
    if (std::filesystem::file_size(journal, ec) == 0 && !ec) {
        qtm::RemoveJournal(journal);
        return;
    }
    const auto contents = RunMeterWork([&] { return qtm::ReadCsvFile(journal); });
    const bool nothingLost =
        contents && contents->records.empty() &&
        (contents->badLines == 0 || (contents->badLines == 1 && contents->cut));
    if (nothingLost) {
        // Killed before (or while writing) its first reading.
        qtm::RemoveJournal(journal);
        return;
    }
    if (!contents || contents->records.empty()) {
        m_prompts.ShowMessage(
            QStringLiteral(" -----< A measurement that did not end normally left a journal that "
                           "cannot be read. It is kept for you to look at: %1 >-----")
                .arg(NameOf(journal)));
        return;
    }
    const qtm::SavedMark mark = qtm::ReadSavedMark(journal);
    // Saved in full before the run was cut off: not lost.
    if (static_cast<std::size_t>(contents->records.back().number) <= mark.count) {
        qtm::RemoveJournal(journal);
        return;
    }

    const std::size_t count = contents->records.size();
    QString notes;
    if (mark.count > 0) {
        notes += QStringLiteral(" The first %1 were saved to %2.")
                     .arg(mark.count)
                     .arg(NameOf(mark.file));
    }
    if (contents->badLines > 0)
        notes += QStringLiteral(" %1 lines of it could not be read.").arg(contents->badLines);
    const QString when =
        QFileInfo(NameOf(journal)).lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString question =
        QStringLiteral(
            " -----< A measurement that did not end normally left %1 readings (last "
            "one at %2).%3 Save them to a file, keep them for later, or discard "
            "them? >-----")
            .arg(count)
            .arg(when, notes);
    switch (m_prompts.AskSaveDiscardCancel(question, QString(), kKeepForLater)) {
        case OperatorPrompts::SaveChoice::Cancel:
            return;  // offered again next time
        case OperatorPrompts::SaveChoice::Discard:
            if (m_prompts.AskOkCancel(
                    QStringLiteral(" -----< The %1 readings will be deleted for good. >-----")
                        .arg(count)))
                qtm::RemoveJournal(journal);
            return;
        case OperatorPrompts::SaveChoice::Save:
            break;
    }
    const QString path = m_prompts.AskSavePath(QString(), QString(), m_saveFilter);
    // No file chosen: the readings stay where they are and are offered again next time.
    if (path.isEmpty()) return;
    const std::filesystem::path target(QFile::encodeName(path).toStdString());
    const qtm::FileResult result = RunMeterWork(
        [&] { return qtm::WriteCsvFile(target, contents->header, contents->records); });
    // Kept when the file could not be written: offered again next time.
    if (result.Ok()) qtm::RemoveJournal(journal);
    m_tellOutcome(result);
}
