// JournalRecovery: the offer at start-up of every journal that a run which did not end
// normally left behind: save its readings to a file, keep them for later, or discard them
// (asked twice). A journal that cannot be read is kept, and the operator told where it is.
#pragma once

#include <QString>
#include <filesystem>
#include <functional>

#include "console/OperatorPrompts.h"
#include "service/CsvFile.h"

class JournalRecovery {
public:
    using Outcome = std::function<void(const qtm::FileResult&)>;

    // saveFilter: the save dialog's filters; tellOutcome says how a file was written.
    JournalRecovery(OperatorPrompts& prompts, QString saveFilter, Outcome tellOutcome);

    // One journal after another, oldest first; the files are read and written off the
    // window's thread.
    void OfferAll(const std::filesystem::path& folder);

private:
    void Offer(const std::filesystem::path& journal);

    OperatorPrompts& m_prompts;
    QString m_saveFilter;
    Outcome m_tellOutcome;
};
