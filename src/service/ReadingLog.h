// The reading log: the self-describing UTF-8 CSV that other programs and spreadsheets read.
// A byte-order mark, a block of "# key: value" lines saying what was measured and how, the
// column header, then one row per reading, appended as the readings come.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "service/CsvFile.h"
#include "service/ReadingObject.h"
#include "service/platform/NativeFile.h"

namespace qtm {

// The metadata block's lines in the order added.
class LogMetadata {
public:
    // Only known values are added: an empty value is left out, as a line saying nothing
    // would only be noise. Line ends and control characters become spaces, so no value can
    // break the block, and a colon in a key becomes '-', so the key reads back whole.
    LogMetadata& Add(std::string_view key, std::string_view value);
    const std::vector<std::pair<std::string, std::string>>& Entries() const { return m_entries; }

private:
    std::vector<std::pair<std::string, std::string>> m_entries;
};

// BOM + "# key: value\r\n"... + header line.
std::string ReadingLogPreamble(const LogMetadata& metadata, ReadingColumns columns);
// "%Y", "%m", "%d", "%H" ... of pattern expanded for the local time `local` (strftime);
// "-" stays "-".
std::string ExpandLogName(std::string_view pattern, const std::tm& local);

// Appends readings to the log named by pattern, as they come: each row goes out in one
// write() on an O_APPEND descriptor (so a killed run never leaves a cut row and every
// reading written is in the file), no buffering in user space. Before each row the name is
// expanded for the local time of clock(); when it differs from the current file's, the
// current file is closed (its data synced) and the new one begins with its own preamble: that is
// how a logger gets daily files. "-" and names that are no regular file (a FIFO,
// /dev/stdout, a device) are written in place, never renamed.
//
// An existing non-empty file is continued only when it is a log of ours whose column header
// equals this run's; anything else is refused and left as it was.
class ReadingLogWriter {
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;
    ReadingLogWriter(
        std::string pattern, LogMetadata metadata, ReadingColumns columns,
        Clock clock = [] { return std::chrono::system_clock::now(); });
    ~ReadingLogWriter();
    ReadingLogWriter(const ReadingLogWriter&) = delete;
    ReadingLogWriter& operator=(const ReadingLogWriter&) = delete;

    // Opens the file the pattern names now and writes its preamble, so a bad path is said
    // before the run starts.
    FileResult Open();
    // Opens the file first when none is open (or the last one could not be). When the name
    // moves on and the old file's data cannot be put on the disk, the row still goes into
    // the new file and the old file's failure is what is returned.
    FileResult Append(const ReadingObject& reading);
    FileResult Close();  // syncs the data and closes; fine to call twice
    const std::string& CurrentPath() const { return m_path; }
    // The rows this writer has put in the current file.
    std::size_t RowsInFile() const { return m_rows; }

private:
    // The file name for the moment now, expanded again only when the second changes.
    const std::string& NameFor(std::chrono::system_clock::time_point now);
    FileResult OpenFile(const std::string& name);
    // file is name with its links followed.
    FileResult OpenRegular(const std::string& name, const std::filesystem::path& path,
                           NativeFile& file);

    std::string m_pattern;
    LogMetadata m_metadata;
    ReadingColumns m_columns;
    Clock m_clock;
    std::string m_header;  // the column header line, CR LF included

    NativeFile m_file;
    bool m_regular = false;
    std::int64_t m_size = 0;  // bytes of the preamble and the whole rows, for taking a cut row back
    std::size_t m_rows = 0;
    std::string m_path;
    std::string m_row;  // reused for every row
    std::chrono::steady_clock::time_point m_lastSync{};

    std::time_t m_nameSecond = -1;
    std::string m_name;
};

}  // namespace qtm
