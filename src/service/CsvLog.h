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
#include "service/platform/NativeFile.h"

namespace qtm {

struct ContinuePlan;
struct FileTarget;

// A CSV file written record by record.
class CsvAppender {
public:
    CsvAppender() = default;
    ~CsvAppender();
    CsvAppender(const CsvAppender&) = delete;
    CsvAppender& operator=(const CsvAppender&) = delete;

    // Creates (or empties) path and writes the byte-order mark and the header line. With
    // lock, holds an exclusive lock on the file while it is open, so another process can
    // tell the file is still being written. A path that is not a regular file (a FIFO, a
    // terminal) is written as it is.
    FileResult Open(const std::filesystem::path& path, std::u16string_view header,
                    bool lock = false);
    // Continues an existing file of this program (plan from PlanContinuation, Continue or
    // Empty): a cut last line a killed run left is dropped first, and an empty file gets the
    // byte-order mark and header.
    FileResult Continue(const std::filesystem::path& path, const ContinuePlan& plan,
                        std::u16string_view header);
    // Writes the byte-order mark and header to an in-place target (standard output, a
    // device, a FIFO), never replacing it.
    FileResult StartInPlace(const FileTarget& target, std::u16string_view header);
    // One write per record. The data reaches the disk itself at most a second later. A
    // write the disk refused, whole or in part, is taken back to the end of the last whole
    // row, so the rows appended later follow it cleanly.
    bool Append(const MeasurementRecord& record);
    // Renames the file; appending goes on into it.
    bool MoveTo(const std::filesystem::path& path);
    // Puts what was appended on the disk now (the end of a run).
    bool Sync();
    // Closes the file; with sync, once its data is on the disk.
    void Close(bool sync = true);
    // Closes the file once its data is on the disk; why not, when the sync or the close
    // failed (the end of a run must say so).
    FileResult CloseSynced();

    bool IsOpen() const { return m_file.IsOpen(); }
    const std::filesystem::path& Path() const { return m_path; }
    // The record rows in the file.
    std::size_t Rows() const { return m_rows; }
    // Why the last Open, Append or Sync failed.
    const FileResult& LastError() const { return m_error; }

private:
    // Takes file, written up to size, as the file appended to.
    void Adopt(NativeFile&& file, const std::filesystem::path& path, bool regular,
               std::int64_t size);

    NativeFile m_file;
    std::filesystem::path m_path;
    FileResult m_error;
    std::chrono::steady_clock::time_point m_lastSync{};
    std::int64_t m_size = 0;  // bytes of the header and the whole rows
    std::size_t m_rows = 0;
    bool m_regular = true;
    // A cut row could not be taken back: nothing more may be appended after it.
    bool m_cut = false;
};

// This program's data folder (DataFolder in NativeFile.h): $XDG_DATA_HOME/QTM200Debug or
// ~/.local/share/QTM200Debug, %APPDATA%\QTM200Debug on Windows.
std::filesystem::path ProgramDataFolder();
std::filesystem::path JournalFolder();

// The journal of one reading buffer: opened with its first live record, appended with
// every one after, removed when the run ends normally. A journal left in the folder is
// the journal of a run that did not.
class Journal {
public:
    explicit Journal(std::filesystem::path folder = JournalFolder());
    ~Journal();  // a journal still open is left in place, as Keep does

    // Starts a new journal file for header (finishing one that is open). A journal that
    // could not be started leaves no file behind.
    FileResult Start(std::u16string_view header);
    bool Append(const MeasurementRecord& record) { return m_file.Append(record); }
    // Appends the records of the buffer the journal has not taken yet (all of them after
    // a Start, the ones a full disk refused before). False when a write failed.
    bool CatchUp(std::span<const MeasurementRecord> records);
    // The first count records were saved to file: should the run end without its journal
    // being finished, the next start need not offer them again.
    void MarkSaved(std::size_t count, const std::filesystem::path& file);
    // The end of a run: what was appended goes to the disk.
    bool Sync() { return m_file.IsOpen() && m_file.Sync(); }
    // The run ended normally: its journal is removed.
    void Finish();
    // The run ends with readings no one saved or let go: the journal stays, on the disk,
    // for the next start to offer.
    void Keep() { m_file.Close(true); }

    bool Active() const { return m_file.IsOpen(); }
    const std::filesystem::path& Path() const { return m_file.Path(); }
    const std::filesystem::path& Folder() const { return m_folder; }
    const FileResult& LastError() const { return m_file.LastError(); }

private:
    std::filesystem::path m_folder;
    CsvAppender m_file;
};

// What a CSV file (export or journal) holds: its header and every whole record line.
struct CsvContents {
    std::u16string header;
    std::vector<MeasurementRecord> records;
    std::size_t badLines = 0;  // lines that were not records, a cut last line included
    bool cut = false;          // the last line had no line end
};

// Reads the UTF-16LE text of a CSV file. A last line without its line end (the process
// died while writing it) is not taken; nor is a line that is not "%d,%f,%f,%f", nor one
// whose reading number does not follow the record before it: one number on for every
// line in between that was not taken, or a larger jump that the next line confirms. So
// a cut line and the line written after it never pass for one record.
CsvContents ParseCsv(std::string_view bytes);
// Nothing when the file could not be read or is not a UTF-16LE text with a header.
std::optional<CsvContents> ReadCsvFile(const std::filesystem::path& path);

// The journals in folder that no running program is writing (and those that cannot be
// opened at all), oldest first.
std::vector<std::filesystem::path> UnfinishedJournals(
    const std::filesystem::path& folder = JournalFolder());

// What Journal::MarkSaved noted for a journal: none saved when it noted nothing.
struct SavedMark {
    std::size_t count = 0;
    std::filesystem::path file;
};
SavedMark ReadSavedMark(const std::filesystem::path& journal);
// Removes a journal with its mark.
void RemoveJournal(const std::filesystem::path& journal);
}  // namespace qtm
