// Appended CSV logs: the live run's journal in the user's data folder and the CLI's
// `live --csv` file. Same text as the CSV export; every record reaches the system as
// soon as it is appended, so a killed process loses at most the record it was writing.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "service/CsvFile.h"
#include "service/MeasurementRecord.h"

namespace qtm {

// A CSV file written record by record.
class CsvAppender {
public:
    CsvAppender() = default;
    ~CsvAppender();
    CsvAppender(const CsvAppender&) = delete;
    CsvAppender& operator=(const CsvAppender&) = delete;

    // Creates (or empties) path and writes the byte-order mark and the header line. With
    // lock, holds an exclusive lock on the file while it is open, so another process can
    // tell the file is still being written.
    FileResult Open(const std::filesystem::path& path, std::u16string_view header,
                    bool lock = false);
    // One write per record. The data reaches the disk itself at most a second later.
    bool Append(const MeasurementRecord& record);
    // Renames the file; appending goes on into it.
    bool MoveTo(const std::filesystem::path& path);
    // Closes the file; with sync, once its data is on the disk.
    void Close(bool sync = true);

    bool IsOpen() const { return m_fd >= 0; }
    const std::filesystem::path& Path() const { return m_path; }
    // Why the last Open or Append failed.
    const FileResult& LastError() const { return m_error; }

private:
    int m_fd = -1;
    std::filesystem::path m_path;
    FileResult m_error;
    std::chrono::steady_clock::time_point m_lastSync{};
};

// $XDG_DATA_HOME/QTM200Debug, or ~/.local/share/QTM200Debug when that is unset or not an
// absolute path.
std::filesystem::path ProgramDataFolder();
std::filesystem::path JournalFolder();

// The journal of one reading buffer: opened with its first live record, appended with
// every one after, removed when the run ends normally. A journal left in the folder is
// the journal of a run that did not.
class Journal {
public:
    explicit Journal(std::filesystem::path folder = JournalFolder());
    ~Journal();  // a journal still open is left in place (it ends only by Finish)

    // Starts a new journal file for header (finishing one that is open).
    FileResult Start(std::u16string_view header);
    bool Append(const MeasurementRecord& record) { return m_file.Append(record); }
    // The run ended normally: its journal is removed.
    void Finish();

    bool Active() const { return m_file.IsOpen(); }
    const std::filesystem::path& Path() const { return m_file.Path(); }
    const std::filesystem::path& Folder() const { return m_folder; }

private:
    std::filesystem::path m_folder;
    CsvAppender m_file;
};

// What a CSV file (export or journal) holds: its header and every whole record line.
struct CsvContents {
    std::u16string header;
    std::vector<MeasurementRecord> records;
    std::size_t badLines = 0;  // lines that were not records, a cut last line included
};

// Reads the UTF-16LE text of a CSV file. A last line without its line end (the process
// died while writing it) is not taken; nor is a line that is not "%d,%f,%f,%f".
CsvContents ParseCsv(std::string_view bytes);
// Nothing when the file could not be read or is not a UTF-16LE text with a header.
std::optional<CsvContents> ReadCsvFile(const std::filesystem::path& path);

// The journals in folder that no running program is writing, oldest first.
std::vector<std::filesystem::path> UnfinishedJournals(
    const std::filesystem::path& folder = JournalFolder());

}  // namespace qtm
